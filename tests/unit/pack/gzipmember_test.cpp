// gzip members: the header of the Windows zlib, deflate data as zlib's gzip writer makes it at
// level 6, and the same bytes however the input is cut.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "pack/gzipmember.h"

using namespace pack;

namespace {

// What zlib's own gzip wrapper writes with the gzip writer's settings.
ByteVector ZlibGzip(const ByteVector& in) {
  z_stream s = {};
  deflateInit2(&s, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
  ByteVector out(deflateBound(&s, in.size()) + 32);
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

TEST(GzipMember, MatchesTheGzipWriterWhateverTheChunks) {
  std::mt19937 random(7);
  ByteVector noise(300000);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  ByteVector text;
  for (int i = 0; i < 20000; ++i) {
    std::string line = "line " + std::to_string(i % 97) + " of a member\r\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  for (const ByteVector& input : {ByteVector(), ByteVector{'x'}, noise, text}) {
    ByteVector expected = ZlibGzip(input);
    expected[9] = kGzipOsByte;
    for (size_t chunk : {size_t(1), size_t(4099), input.size() + 1}) {
      if (chunk == 1 && input.size() > 5000) continue;
      ByteVector got;
      GzipEncoder encoder([&got](const uint8_t* p, size_t n) {
        got.insert(got.end(), p, p + n);
        return true;
      });
      for (size_t at = 0; at < input.size(); at += chunk) {
        ASSERT_TRUE(encoder.Write(input.data() + at, std::min(chunk, input.size() - at)));
      }
      ASSERT_TRUE(encoder.Finish());
      EXPECT_EQ(got, expected) << input.size() << " bytes in chunks of " << chunk;
    }
  }
}

TEST(GzipMember, AFailingSinkStopsTheEncoder) {
  int calls = 0;
  GzipEncoder encoder([&calls](const uint8_t*, size_t) { return ++calls < 2; });
  ByteVector data(1 << 20, 'a');
  EXPECT_FALSE(encoder.Write(data.data(), data.size()) && encoder.Finish());
  EXPECT_EQ(encoder.error(), "write failed");
}

}  // namespace
