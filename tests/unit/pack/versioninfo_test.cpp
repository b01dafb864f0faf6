// The version-information resource, byte for byte.
#include <gtest/gtest.h>

#include "pack/versioninfo.h"

using namespace pack;

namespace {

uint16_t At16(const ByteVector& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t At32(const ByteVector& b, size_t at) { return At16(b, at) | (uint32_t(At16(b, at + 2)) << 16); }

std::string Utf16At(const ByteVector& b, size_t at) {
  std::string out;
  for (; At16(b, at) != 0; at += 2) out.push_back(static_cast<char>(At16(b, at)));
  return out;
}

// A block as a reader walks it.
struct Block {
  size_t offset;
  uint16_t length;
  uint16_t valueLength;
  uint16_t type;
  std::string key;
  size_t valueOffset;  // after the key and its padding
};

Block ReadBlock(const ByteVector& b, size_t at) {
  Block block{at, At16(b, at), At16(b, at + 2), At16(b, at + 4), Utf16At(b, at + 6), 0};
  size_t afterKey = at + 6 + 2 * (block.key.size() + 1);
  block.valueOffset = (afterKey + 3) & ~size_t(3);
  return block;
}

// The String blocks of the table: key, value, wLength, and the padding after each.
struct StringEntry {
  std::string key;
  std::string value;
  uint16_t length;
  size_t padding;
};

std::vector<StringEntry> Strings(const ByteVector& b) {
  Block root = ReadBlock(b, 0);
  size_t stringInfo = (root.valueOffset + root.valueLength + 3) & ~size_t(3);
  Block table = ReadBlock(b, ReadBlock(b, stringInfo).valueOffset);
  std::vector<StringEntry> out;
  size_t at = table.valueOffset;
  while (at < table.offset + table.length) {
    Block s = ReadBlock(b, at);
    size_t next = (at + s.length + 3) & ~size_t(3);
    out.push_back({s.key, Utf16At(b, s.valueOffset), s.length, next - at - s.length});
    EXPECT_EQ(s.valueLength, Utf16At(b, s.valueOffset).size() + 1);
    EXPECT_EQ(s.type, 1);
    at = next;
  }
  EXPECT_EQ(at, table.offset + table.length);
  return out;
}

ByteVector Build(const std::map<std::string, std::string>& values,
                 const std::string& output = "kit.exe", int year = 2026,
                 uint64_t fileTime = 0x01DA2B3C4D5E6F70ull) {
  VersionInputs in{values, output, year, fileTime};
  ByteVector out;
  std::string reason;
  EXPECT_TRUE(BuildVersionResourceBytes(in, Latin1ToUtf16, out, reason)) << reason;
  return out;
}

TEST(VersionResource, WorkedExampleSizes) {
  ByteVector b = Build({{"VERSION", "9.24.109"},
                        {"PVERSION", "9.24"},
                        {"APPLICATION", "Application 16ch"},
                        {"PNAME", "Product name 16c"}},
                       "C:\\out\\kit-name-of-24-chars.exe", 2026);
  ASSERT_EQ(b.size(), 700u);
  Block root = ReadBlock(b, 0);
  EXPECT_EQ(root.length, 700);
  EXPECT_EQ(root.key, "VS_VERSION_INFO");
  EXPECT_EQ(root.valueLength, 52);
  EXPECT_EQ(root.valueOffset, 40u);
  Block stringInfo = ReadBlock(b, 92);
  EXPECT_EQ(stringInfo.key, "StringFileInfo");
  EXPECT_EQ(stringInfo.length, 540);
  Block table = ReadBlock(b, stringInfo.valueOffset);
  EXPECT_EQ(table.key, "080904b0");
  EXPECT_EQ(table.length, 504);
  Block varInfo = ReadBlock(b, 92 + 540);
  EXPECT_EQ(varInfo.key, "VarFileInfo");
  EXPECT_EQ(varInfo.length, 68);
  Block translation = ReadBlock(b, varInfo.valueOffset);
  EXPECT_EQ(translation.key, "Translation");
  EXPECT_EQ(translation.length, 36);
  EXPECT_EQ(translation.valueLength, 4);
  EXPECT_EQ(translation.type, 0);
  EXPECT_EQ(At16(b, translation.valueOffset), 0x0809);
  EXPECT_EQ(At16(b, translation.valueOffset + 2), 0x04B0);

  const struct {
    const char* key;
    const char* value;
    uint16_t length;
    size_t padding;
  } expected[] = {
      {"CompanyName", "Tessaly", 48, 0},
      {"FileDescription", "Application 16ch", 74, 2},
      {"ProductName", "Product name 16c", 66, 2},
      {"OriginalFilename", "kit-name-of-24-chars.exe", 90, 2},
      {"FileVersion", "9.24.109", 50, 2},
      {"ProductVersion", "9.24", 46, 2},
      {"LegalCopyright", "Copyright Tessaly \xA9 1999-2026", 96, 0},
  };
  std::vector<StringEntry> strings = Strings(b);
  ASSERT_EQ(strings.size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(strings[i].key, expected[i].key);
    EXPECT_EQ(strings[i].value, expected[i].value);
    EXPECT_EQ(strings[i].length, expected[i].length) << expected[i].key;
    EXPECT_EQ(strings[i].padding, expected[i].padding) << expected[i].key;
  }
}

TEST(VersionResource, FixedFileInformation) {
  ByteVector b = Build({{"VERSION", "9.24.109"}, {"PVERSION", "5"}}, "k.exe", 2026,
                       0x0123456789ABCDEFull);
  const uint32_t expected[13] = {0xFEEF04BD, 0x00010000, 0x00090018, 0x0000006D, 0x00050000, 0,
                                 0x3F,       0x2,        0x00040004, 0x1,        0,          0x01234567,
                                 0x89ABCDEF};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(At32(b, 40 + 4 * i), expected[i]) << "field " << i;
}

TEST(VersionResource, StringTableContents) {
  const struct {
    std::map<std::string, std::string> values;
    std::string output;
    std::vector<std::pair<std::string, std::string>> strings;
  } cases[] = {
      {{}, "kit.exe",
       {{"CompanyName", "Tessaly"}, {"FileDescription", "Unknown Application"},
        {"OriginalFilename", "kit.exe"}, {"FileVersion", "0.0.0"}, {"ProductVersion", "0.0"},
        {"LegalCopyright", "Copyright Tessaly \xA9 1999-2026"}}},
      {{{"COMMENTS", ""}, {"TRADEMARKS", "T"}, {"INAME", "I"}, {"SPECIAL", "S"}, {"PRIVATE", "P"},
        {"PNAME", "N"}, {"COMPANY", "C"}, {"APPLICATION", "A"}, {"COPYRIGHT", "(c) me"},
        {"VERSION", "9.024.3junk"}, {"PVERSION", " 7 .1"}},
       "C:\\out\\",
       {{"CompanyName", "C"}, {"FileDescription", "A"}, {"Comments", ""}, {"ProductName", "N"},
        {"PrivateBuild", "P"}, {"SpecialBuild", "S"}, {"InternalName", "I"},
        {"LegalTrademarks", "T"}, {"OriginalFilename", "out\\"}, {"FileVersion", "9.24.3"},
        {"ProductVersion", "7.0"}, {"LegalCopyright", "(c) me"}}},
      {{{"VERSION", "1.2.3.4"}, {"PVERSION", "abc"}}, "dir/sub/k.exe",
       {{"CompanyName", "Tessaly"}, {"FileDescription", "Unknown Application"},
        {"OriginalFilename", "k.exe"}, {"FileVersion", "1.2.3"}, {"ProductVersion", "0.0"},
        {"LegalCopyright", "Copyright Tessaly \xA9 1999-2026"}}},
  };
  for (const auto& c : cases) {
    std::vector<StringEntry> strings = Strings(Build(c.values, c.output));
    ASSERT_EQ(strings.size(), c.strings.size());
    for (size_t i = 0; i < strings.size(); ++i) {
      EXPECT_EQ(strings[i].key, c.strings[i].first);
      EXPECT_EQ(strings[i].value, c.strings[i].second);
    }
  }
}

TEST(VersionResource, StringBlockPaddingOutsideItsLength) {
  // CompanyName of 6 characters: wLength 46, then 2 zero bytes counted by the table only.
  ByteVector b = Build({{"COMPANY", "Abcdef"}});
  std::vector<StringEntry> strings = Strings(b);
  EXPECT_EQ(strings[0].length, 46);
  EXPECT_EQ(strings[0].padding, 2u);
  VersionBlock block(Latin1ToUtf16);
  block.Begin(3, 1);
  block.AppendKey("ab");
  block.AlignTo4();
  ASSERT_TRUE(block.Close());
  const ByteVector expected = {12, 0, 3, 0, 1, 0, 'a', 0, 'b', 0, 0, 0};
  EXPECT_EQ(block.Bytes(), expected);
}

TEST(VersionResource, RefusesWhatCannotBeRepresented) {
  const struct {
    std::map<std::string, std::string> values;
    const char* reasonPart;
  } cases[] = {
      {{{"VERSION", "1.65536.0"}}, "VERSION '1.65536.0'"},
      {{{"VERSION", "70000"}}, "0..65535"},
      {{{"VERSION", "1.2.-1"}}, "VERSION"},
      {{{"VERSION", "1.2.99999999999999999999"}}, "VERSION"},
      {{{"PVERSION", "65536.1"}}, "PVERSION '65536.1'"},
      {{{"COMMENTS", std::string(40000, 'x')}}, "65535"},  // one String block too long
      {{{"COMMENTS", std::string(32700, 'x')}}, "65535"},  // the table too long
      {{{"COMMENTS", std::string(17000, 'x')}, {"PRIVATE", std::string(17000, 'y')}}, "65535"},
  };
  for (const auto& c : cases) {
    VersionInputs in{c.values, "k.exe", 2026, 0};
    ByteVector out;
    std::string reason;
    EXPECT_FALSE(BuildVersionResourceBytes(in, Latin1ToUtf16, out, reason));
    EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << reason;
    EXPECT_TRUE(out.empty());
  }
  // The largest numbers that fit are written as they are.
  ByteVector b = Build({{"VERSION", "65535.65535.65535"}, {"PVERSION", "0.65535"}});
  EXPECT_EQ(At32(b, 48), 0xFFFFFFFFu);
  EXPECT_EQ(At32(b, 52), 0x0000FFFFu);
  EXPECT_EQ(At32(b, 56), 0x0000FFFFu);
}

TEST(VersionResource, PathFileName) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\out\\kit.exe", "kit.exe"}, {"kit.exe", "kit.exe"}, {"a/b.exe", "b.exe"},
      {"C:kit.exe", "kit.exe"},        {"C:\\out\\", "out\\"},  {"", ""}};
  for (const auto& [path, name] : cases) EXPECT_EQ(PathFileName(path), name) << path;
}

}  // namespace
