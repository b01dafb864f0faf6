// The steering-file phase over a scripted profile reader.
#include <gtest/gtest.h>

#include <set>

#include "pack/steering.h"
#include "pack/versioninfo.h"

using namespace pack;

namespace {

// A profile reader over fixed sections; files "exist" when listed.
class FakePlatform : public SteeringPlatform {
 public:
  std::vector<uint8_t> fileBytes;
  bool readable = true;
  std::map<std::string, std::string> info;
  std::vector<std::pair<std::string, std::string>> files;  // in file order, duplicates kept
  std::set<std::string> existing;
  std::vector<std::string> pathsRead;

  bool ReadSteeringBytes(const std::string& path, std::vector<uint8_t>& bytes,
                         SystemError& error) override {
    pathsRead.push_back(path);
    if (!readable) {
      error = {2, "The system cannot find the file specified."};
      return false;
    }
    bytes = fileBytes;
    return true;
  }
  std::u16string AnsiToUtf16(const std::string& text) override { return Latin1ToUtf16(text); }
  std::string Utf16ToAnsi(const std::u16string& text) override {
    std::string out;
    for (char16_t c : text) out.push_back(c < 256 ? static_cast<char>(c) : '?');
    return out;
  }
  std::string ProfileString(const std::string&, const char* section, const char* key,
                            const std::string& defaultValue, size_t maxChars) override {
    std::string value = defaultValue;
    if (std::string(section) == "INFO") {
      auto it = info.find(key);
      if (it != info.end()) value = it->second;
    } else {
      for (const auto& [k, v] : files) {
        if (k == key) {
          value = v;
          break;
        }
      }
    }
    if (maxChars && value.size() > maxChars) value.resize(maxChars);
    return value;
  }
  std::vector<std::string> ProfileKeys(const std::string&, const char*) override {
    std::vector<std::string> keys;
    for (const auto& entry : files) keys.push_back(entry.first);
    return keys;
  }
  bool PathExists(const std::string& path, SystemError& error) override {
    if (existing.count(path)) return true;
    error = {2, "The system cannot find the file specified."};
    return false;
  }
};

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(SteeringFile, PathOfPlainFileName) {
  EXPECT_EQ(SteeringFilePath("kit.ini"), ".\\kit.ini");
  EXPECT_EQ(SteeringFilePath("sub/kit.ini"), ".\\sub/kit.ini");
  EXPECT_EQ(SteeringFilePath("sub\\kit.ini"), "sub\\kit.ini");
  EXPECT_EQ(SteeringFilePath("C:kit.ini"), "C:kit.ini");
}

TEST(SteeringFile, DecodesUtf16AndEightBit) {
  FakePlatform p;
  const struct {
    std::vector<uint8_t> bytes;
    std::u16string text;
  } cases[] = {
      {{0xFF, 0xFE, 'a', 0, 0xE9, 0, 0, 0, 'z', 0}, u"a\u00E9"},  // ends at the 16-bit zero
      {{0xFF, 0xFE, 'a', 0, 'b'}, u"ab"},                            // odd last byte kept
      {{0xFF, 0xFE, 0x00, 0x41, 0, 0}, u"\u00FF\u00FE"},  // first unit above U+00FF: 8-bit
      {{0xFF, 0xFE, 'a', 0x01}, u"\u00FF\u00FEa\u0001"},  // fourth byte not 0: 8-bit text
      {{0xFF, 0xFE, 'a'}, u"a"},                        // short: the missing bytes read as 0
      {{'a', 'b', 0, 'c'}, u"ab"},
      {{}, u""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeSteeringText(c.bytes, p), c.text);
}

TEST(SteeringFile, ControlTextSettingsAndMembers) {
  FakePlatform p;
  p.fileBytes = Bytes("[INFO]\r\nDESCRIPTION=Kit <V>\r\nX=\\0101\r\n");
  p.info = {{"DESCRIPTION", "Kit <V>"}, {"COMPRESSTHIS", "0"}, {"ICON", "<V>.ico"}};
  p.files = {{"F2", "b.exe , src\\<V>\\b.exe , compress = 0 , LEVEL=9"},
             {"F10", "c , src\\c , COMPRESS=0x0"},
             {"F1", " a.exe,src\\a.exe,COMPRESS=no"}};
  p.existing = {"src\\7\\b.exe", "src\\c", "src\\a.exe"};
  KeywordTable keywords;
  DefineKeyword(keywords, "V", "7");
  SteeringResult r = ReadSteeringFile("kit.ini", keywords, "stowkitwin", p);
  EXPECT_EQ(r.errorText, "");
  EXPECT_EQ(r.steeringPath, ".\\kit.ini");
  EXPECT_EQ(p.pathsRead, std::vector<std::string>{".\\kit.ini"});
  EXPECT_EQ(r.controlText, u"\uFEFF[INFO]\r\nDESCRIPTION=Kit 7\r\nX=A\r\n");
  EXPECT_EQ(r.caption, "Kit <V>");  // read from the file on disk, untranslated
  EXPECT_FALSE(r.compressControl);
  EXPECT_TRUE(r.compressMembers);
  EXPECT_EQ(r.iconPath, "<V>.ico");
  std::vector<std::string> order;
  for (const auto& [key, member] : r.members) order.push_back(key);
  EXPECT_EQ(order, (std::vector<std::string>{"F1", "F10", "F2"}));
  EXPECT_EQ(r.members.at("F2").sourcePath, "src\\7\\b.exe");
  EXPECT_FALSE(r.members.at("F2").compress);
  EXPECT_TRUE(r.members.at("F10").compress);
  EXPECT_TRUE(r.members.at("F1").compress);
}

TEST(SteeringFile, CompressionKeysReadAsNumbers) {
  const struct {
    const char* value;
    bool on;
  } cases[] = {{"0", false}, {"1", true}, {"", true}, {"no", false}, {"0x1F", false},
               {"4294967296", true}, {" 00", false}};
  for (const auto& c : cases) {
    FakePlatform p;
    p.info = {{"COMPRESSFILES", c.value}};
    SteeringResult r = ReadSteeringFile("k.ini", {}, "m", p);
    EXPECT_EQ(r.compressMembers, c.on) << c.value;
    EXPECT_TRUE(r.compressControl);
  }
}

TEST(SteeringFile, EveryBadLineReported) {
  FakePlatform p;
  p.fileBytes = Bytes("x");
  p.files = {{"F5", ""},
             {"F1", "a.exe"},
             {"F2", "a.exe ,  "},
             {"F3", "a.exe , missing.exe"},
             {"F4", "a.exe , a.exe , "},
             {"# F9", "comment"},
             {"F6", "a.exe , a.exe , x=1=2 , ok=1"}};
  p.existing = {"a.exe"};
  SteeringResult r = ReadSteeringFile("d\\k.ini", {}, "m", p);
  EXPECT_EQ(r.errorText,
            "\n-- internal Error : cannot find key 'F5' in your steering file!"
            "\n-- format error in steering file line \n 'a.exe'"
            "\n-- format error in steering file line \n 'a.exe ,  '"
            "\n-- file open error in installer input file 'missing.exe' \n 0x00000002 :  "
            "The system cannot find the file specified."
            "\n-- bad option format for file 'F4' in installer input file 'a.exe' "
            "\n-- format error in steering file line \n 'comment'"
            "\n-- bad option format for file 'F6' in installer input file 'a.exe' ");
  // Lines with only bad options are still entered.
  EXPECT_EQ(r.members.size(), 2u);
  EXPECT_EQ(r.members.count("F4"), 1u);
}

TEST(SteeringFile, UnreadableFileStillReadsKeys) {
  FakePlatform p;
  p.readable = false;
  p.info = {{"DESCRIPTION", "Caption"}};
  SteeringResult r = ReadSteeringFile("gone.ini", {}, "m", p);
  EXPECT_EQ(r.errorText,
            "\n-- error reading steering file '.\\gone.ini' \n 0x00000002 : The system cannot "
            "find the file specified.");
  EXPECT_TRUE(r.controlText.empty());
  EXPECT_EQ(r.caption, "Caption");
}

TEST(SteeringFile, TranslationFailuresStopThePhase) {
  FakePlatform p;
  p.fileBytes = Bytes("COMMANDLINE=<A>");
  p.info = {{"DESCRIPTION", "Caption"}};
  KeywordTable circular;
  DefineKeyword(circular, "A", "<A>x");
  SteeringResult early = ReadSteeringFile("k.ini", circular, "module", p);
  EXPECT_EQ(early.fatal, TranslateStatus::kCircular);
  EXPECT_EQ(early.caption, "module");  // failed before DESCRIPTION was read

  p.fileBytes = Bytes("fine");
  p.files = {{"F1", "a , kit\\0ld\\a.exe"}, {"F2", "b , missing"}};
  SteeringResult late = ReadSteeringFile("k.ini", {}, "module", p);
  EXPECT_EQ(late.fatal, TranslateStatus::kBadOctal);
  EXPECT_EQ(late.caption, "Caption");
  EXPECT_EQ(late.errorText, "");  // F2 never examined
}

TEST(SteeringFile, DuplicateKeyKeepsOneEntry) {
  FakePlatform p;
  p.files = {{"F1", "a , a.exe , compress=0"}, {"F1", "b , b.exe"}};
  p.existing = {"a.exe"};
  SteeringResult r = ReadSteeringFile("k.ini", {}, "m", p);
  ASSERT_EQ(r.members.size(), 1u);
  EXPECT_EQ(r.members.at("F1").sourcePath, "a.exe");
  EXPECT_FALSE(r.members.at("F1").compress);
}

}  // namespace
