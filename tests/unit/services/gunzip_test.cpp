// The filter reads stored data as zlib's own gzip file reader does: same bytes out, same
// verdict on damaged data, however the data is cut into pieces.
#include "services/gunzip.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string Gzip(const std::string& data) {
  z_stream s = {};
  deflateInit2(&s, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&s, data.size()) + 32, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(&out[0]);
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

struct Outcome {
  bool ok;
  std::string bytes;
};

// What zlib's gzip file reader makes of the stored bytes.
Outcome Reference(const std::string& stored) {
  static int counter = 0;
  const std::string name = (std::filesystem::temp_directory_path() /
                            ("gunzip_test_" + std::to_string(++counter))).string();
  std::ofstream(name, std::ios::binary) << stored;
  gzFile in = gzopen(name.c_str(), "rb");
  Outcome outcome{true, ""};
  char block[7];
  for (int got; (got = gzread(in, block, sizeof block)) != 0;) {
    if (got < 0) {
      outcome.ok = false;
      break;
    }
    outcome.bytes.append(block, got);
  }
  int code = Z_OK;
  gzerror(in, &code);
  if (code != Z_OK) outcome.ok = false;
  if (gzclose(in) != Z_OK) outcome.ok = false;
  std::filesystem::remove(name);
  return outcome;
}

Outcome Filtered(const std::string& stored, size_t piece) {
  Outcome outcome{true, ""};
  GunzipFilter filter([&](const uint8_t* data, size_t size) {
    outcome.bytes.append(reinterpret_cast<const char*>(data), size);
    return true;
  });
  const uint8_t* at = reinterpret_cast<const uint8_t*>(stored.data());
  for (size_t done = 0; done < stored.size() && outcome.ok; done += piece) {
    outcome.ok = filter.Feed(at + done, std::min(piece, stored.size() - done));
  }
  if (outcome.ok) outcome.ok = filter.Finish();
  return outcome;
}

}  // namespace

TEST(GunzipFilter, AgreesWithZlibsReaderInAnyPieces) {
  const std::string text = "a member that compresses well, " + std::string(300, 'x');
  const std::string member = Gzip(text);
  std::string badCrc = member, badLength = member, badMethod = member;
  badCrc[badCrc.size() - 8] ^= 0x55;
  badLength[badLength.size() - 3] ^= 0x01;
  badMethod[2] = 7;
  struct Case {
    const char* name;
    std::string stored;
  } cases[] = {
      {"empty", ""},
      {"one byte", "\x1F"},
      {"plain", "plain text, not compressed"},
      {"signature alone", "\x1F\x8B"},
      {"signature-like start", std::string("\x1F\x8A") + "rest"},
      {"member", member},
      {"two members", member + Gzip("second")},
      {"trailing garbage", member + "garbage after the member"},
      {"one byte after", member + "\x1F"},
      {"cut short", member.substr(0, member.size() - 5)},
      {"cut in the header", member.substr(0, 6)},
      {"wrong crc", badCrc},
      {"wrong length", badLength},
      {"wrong method", badMethod},
      {"empty member", Gzip("")},
  };
  for (const Case& c : cases) {
    Outcome expected = Reference(c.stored);
    for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{64}, size_t{100000}}) {
      Outcome got = Filtered(c.stored, piece);
      EXPECT_EQ(expected.ok, got.ok) << c.name << " in pieces of " << piece;
      if (expected.ok && got.ok) EXPECT_EQ(expected.bytes, got.bytes) << c.name << " / " << piece;
    }
  }
}

TEST(GunzipFilter, SaysWhatIsWrongInZlibsWords) {
  std::string member = Gzip("some text");
  auto reason = [](const std::string& stored) {
    GunzipFilter filter([](const uint8_t*, size_t) { return true; });
    const uint8_t* data = reinterpret_cast<const uint8_t*>(stored.data());
    if (!filter.Feed(data, stored.size()) || !filter.Finish()) return filter.error();
    return std::string("fine");
  };
  std::string crc = member;
  crc[crc.size() - 8] ^= 1;
  EXPECT_EQ("incorrect data check", reason(crc));
  EXPECT_EQ("unexpected end of file", reason(member.substr(0, member.size() - 1)));
  EXPECT_EQ("unknown compression method", reason(std::string("\x1F\x8B\x07") + member.substr(3)));
  EXPECT_EQ("fine", reason(member));

  bool refused = false;
  GunzipFilter failing([](const uint8_t*, size_t) { return false; });
  refused = !failing.Feed(reinterpret_cast<const uint8_t*>(member.data()), member.size());
  EXPECT_TRUE(refused);
  EXPECT_TRUE(failing.sinkFailed());
}
