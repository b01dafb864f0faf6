// Members compressed on several threads reach the sink in key order with the same bytes for any
// number of threads, also when tight budgets push most of them through spill files; the first
// failing member in order ends the stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "pack/gzipmember.h"
#include "pack/memberstream.h"
#include "native/nativeservices.h"

using namespace pack;

namespace {

class Collect : public MemberSink {
 public:
  bool Begin(size_t index, std::string&) override {
    order.push_back(index);
    members.emplace_back();
    return true;
  }
  bool Write(const uint8_t* data, size_t size, std::string&) override {
    members.back().insert(members.back().end(), data, data + size);
    return true;
  }
  bool End(size_t, uint64_t size, std::string&) override {
    sizes.push_back(size);
    return true;
  }
  std::vector<size_t> order;
  std::vector<ByteVector> members;
  std::vector<uint64_t> sizes;
};

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  if (!dir) dir = std::getenv("TEMP");
  return std::string(dir ? dir : "/tmp") + "/stowkit-member-" + name;
}

ByteVector WriteMember(const std::string& path, size_t size, unsigned seed, bool text) {
  std::mt19937 random(seed);
  ByteVector data(size);
  for (size_t i = 0; i < size; ++i) data[i] = text ? static_cast<uint8_t>('a' + random() % 6) : static_cast<uint8_t>(random());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
  return data;
}

TEST(MemberStream, SameBytesForAnyNumberOfThreads) {
  std::vector<MemberSource> sources;
  std::vector<ByteVector> expected;
  const struct {
    size_t size;
    bool compress;
    bool text;
  } members[] = {{700000, true, true}, {0, false, false}, {90000, false, false}, {3, true, false},
                 {400000, false, true}, {250000, true, false}, {1, false, false}};
  for (size_t i = 0; i < sizeof members / sizeof members[0]; ++i) {
    std::string path = TempPath(std::to_string(i));
    ByteVector data = WriteMember(path, members[i].size, static_cast<unsigned>(i), members[i].text);
    sources.push_back(MemberSource{path, members[i].compress});
    ByteVector want = data;
    std::string error;
    if (members[i].compress || data.empty()) {
      ASSERT_TRUE(GzipBytes(data.data(), data.size(), want, error));
    }
    expected.push_back(want);
  }
  // A stored member that starts with the gzip magic is wrapped in gzip of its own.
  std::string gz = TempPath("gz");
  ByteVector inner;
  std::string error;
  GzipBytes(reinterpret_cast<const uint8_t*>("abc"), 3, inner, error);
  std::FILE* f = std::fopen(gz.c_str(), "wb");
  std::fwrite(inner.data(), 1, inner.size(), f);
  std::fclose(f);
  sources.push_back(MemberSource{gz, false});
  ByteVector wrapped;
  GzipBytes(inner.data(), inner.size(), wrapped, error);
  expected.push_back(wrapped);

  StreamLimits tight;
  tight.readBlock = 4096;
  tight.piece = 8192;
  tight.turnBudget = 16384;
  tight.waitingBudget = 8192;
  for (unsigned jobs : {1u, 2u, 5u}) {
    for (const StreamLimits& limits : {StreamLimits(), tight}) {
      auto os = nativepack::MakeHostServices();
      Collect sink;
      std::string errorText;
      ASSERT_TRUE(StreamMembers(*os, sources, jobs, limits, sink, errorText)) << errorText;
      ASSERT_EQ(sink.members.size(), expected.size());
      for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(sink.order[i], i);
        EXPECT_EQ(sink.members[i], expected[i]) << "member " << i << ", " << jobs << " jobs";
        EXPECT_EQ(sink.sizes[i], expected[i].size());
      }
    }
  }
  for (const MemberSource& s : sources) std::remove(s.path.c_str());
}

TEST(MemberStream, FirstFailingMemberInOrderEndsIt) {
  std::string good = TempPath("good");
  WriteMember(good, 200000, 1, true);
  std::vector<MemberSource> sources = {{good, true}, {TempPath("missing-1"), false}, {good, true},
                                       {TempPath("missing-2"), true}};
  auto os = nativepack::MakeHostServices();
  Collect sink;
  std::string errorText;
  EXPECT_FALSE(StreamMembers(*os, sources, 3, StreamLimits(), sink, errorText));
  EXPECT_EQ(sink.sizes.size(), 1u);
  EXPECT_EQ(errorText.find("\n-- file open error in installer input file '" + TempPath("missing-1") + "' \n 0x"), 0u)
      << errorText;
  EXPECT_EQ(errorText.find("missing-2"), std::string::npos);
  std::remove(good.c_str());
}

}  // namespace
