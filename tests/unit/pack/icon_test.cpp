// .ico reading and checking, the group directory, and the .ico written from a group.
#include <gtest/gtest.h>

#include "pack/icon.h"

using namespace pack;

namespace {

// An .ico file with the given image sizes; image n is filled with the byte n.
ByteVector MakeIco(const std::vector<uint32_t>& sizes) {
  ByteVector out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(sizes.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * sizes.size());
  for (size_t n = 0; n < sizes.size(); ++n) {
    uint8_t side = static_cast<uint8_t>(16 * (n + 1));
    Put8(out, side);
    Put8(out, side);
    Put8(out, 0);
    Put8(out, 0x5A);  // reserved byte with junk: copied into the group as it is
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, sizes[n]);
    Put32(out, offset);
    offset += sizes[n];
  }
  for (size_t n = 0; n < sizes.size(); ++n) out.insert(out.end(), sizes[n], uint8_t(n + 1));
  return out;
}

TEST(IconFile, ThreeImagesGiveA48ByteDirectory) {
  ByteVector ico = MakeIco({40, 50, 60});
  IconFile icon;
  std::string reason;
  ASSERT_TRUE(ParseIconFile(ico.data(), ico.size(), icon, reason)) << reason;
  ASSERT_EQ(icon.images.size(), 3u);
  EXPECT_EQ(icon.images[1].offset, 54u + 40u);
  EXPECT_EQ(icon.images[2].size, 60u);
  ByteVector group = BuildGroupDirectory(icon);
  ASSERT_EQ(group.size(), 48u);
  const ByteVector expected = {
      0, 0, 1, 0, 3, 0,                                      //
      16, 16, 0, 0x5A, 1, 0, 32, 0, 40, 0, 0, 0, 1, 0,       //
      32, 32, 0, 0x5A, 1, 0, 32, 0, 50, 0, 0, 0, 2, 0,       //
      48, 48, 0, 0x5A, 1, 0, 32, 0, 60, 0, 0, 0, 3, 0};
  EXPECT_EQ(group, expected);
}

TEST(IconFile, EmptyIconGivesHeaderOnly) {
  ByteVector ico = MakeIco({});
  IconFile icon;
  std::string reason;
  ASSERT_TRUE(ParseIconFile(ico.data(), ico.size(), icon, reason));
  EXPECT_EQ(BuildGroupDirectory(icon), (ByteVector{0, 0, 1, 0, 0, 0}));
}

TEST(IconFile, RefusesDamagedFiles) {
  ByteVector good = MakeIco({40, 50});
  auto withByte = [&](size_t at, uint8_t value) {
    ByteVector b = good;
    b[at] = value;
    return b;
  };
  auto with32 = [&](size_t at, uint32_t value) {
    ByteVector b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return b;
  };
  const struct {
    const char* name;
    ByteVector bytes;
  } cases[] = {
      {"empty", {}},
      {"short header", {0, 0, 1, 0, 1}},
      {"reserved not 0", withByte(0, 1)},
      {"cursor file", withByte(2, 2)},
      {"directory cut", ByteVector(good.begin(), good.begin() + 6 + 16 + 8)},
      {"count beyond directory", withByte(4, 3)},
      {"last image cut", ByteVector(good.begin(), good.end() - 1)},
      {"offset past end", with32(6 + 12, 100000)},
      {"size past end", with32(6 + 8, 1000)},
      {"offset plus size wraps", with32(6 + 8, 0xFFFFFFF0u)},
      {"empty image", with32(6 + 16 + 8, 0)},
  };
  for (const auto& c : cases) {
    IconFile icon;
    std::string reason;
    EXPECT_FALSE(ParseIconFile(c.bytes.data(), c.bytes.size(), icon, reason)) << c.name;
    EXPECT_FALSE(reason.empty()) << c.name;
    EXPECT_TRUE(icon.images.empty()) << c.name;
  }
}

TEST(IconFile, GroupWrittenBackAsIco) {
  ByteVector ico = MakeIco({40, 50, 60});
  IconFile icon;
  std::string reason;
  ASSERT_TRUE(ParseIconFile(ico.data(), ico.size(), icon, reason));
  ByteVector group = BuildGroupDirectory(icon);
  std::vector<GroupEntry> entries;
  ASSERT_TRUE(ParseGroupDirectory(group.data(), group.size(), entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].id, 3);
  std::vector<ByteVector> images;
  for (const IconImage& image : icon.images) {
    images.emplace_back(ico.begin() + image.offset, ico.begin() + image.offset + image.size);
  }
  ByteVector written = BuildIconFile(entries, images);
  ByteVector expected = ico;
  for (int n = 0; n < 3; ++n) expected[6 + 16 * n + 3] = 0;  // reserved byte written as 0
  EXPECT_EQ(written, expected);

  EXPECT_FALSE(ParseGroupDirectory(group.data(), group.size() - 1, entries));
  ByteVector cursorGroup = group;
  cursorGroup[2] = 2;
  EXPECT_FALSE(ParseGroupDirectory(cursorGroup.data(), cursorGroup.size(), entries));
}

}  // namespace
