// Keyword substitution and octal constants.
#include <gtest/gtest.h>

#include "pack/translate.h"

using namespace pack;

namespace {

KeywordTable Defines(std::initializer_list<std::pair<const char*, const char*>> defs) {
  KeywordTable table;
  for (const auto& [k, v] : defs) DefineKeyword(table, k, v);
  return table;
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

struct Case {
  const char* name;
  std::string text;
  KeywordTable table;
  TranslateStatus status;
  std::string expected;
};

TEST(TranslateText, Cases) {
  const KeywordTable kitdir = Defines({{"kitdir", "C:\\src"}});
  const Case cases[] = {
      {"angle form", "F1 = a.exe , <KITDIR>\\a.exe", kitdir, TranslateStatus::kOk,
       "F1 = a.exe , C:\\src\\a.exe"},
      {"square form", "[KITDIR]\\a.exe", kitdir, TranslateStatus::kOk, "C:\\src\\a.exe"},
      {"lower case not replaced", "<kitdir>\\a.exe", kitdir, TranslateStatus::kOk, "<kitdir>\\a.exe"},
      {"every occurrence", "<KITDIR>;<KITDIR>", kitdir, TranslateStatus::kOk, "C:\\src;C:\\src"},
      {"later key in value stays", "<A>", Defines({{"A", "[B]"}, {"B", "x"}}), TranslateStatus::kOk,
       "x"},
      // '<' sorts before '[': a value bringing in an angle form after the angle stage is kept.
      {"earlier key in value kept", "[B]", Defines({{"A", "a"}, {"B", "<A>"}}),
       TranslateStatus::kOk, "<A>"},
      {"value with own key", "<A>", Defines({{"A", "<A>x"}}), TranslateStatus::kCircular, ""},
      {"own key unused", "nothing here", Defines({{"A", "<A>x"}}), TranslateStatus::kOk,
       "nothing here"},
      {"100 occurrences", Repeat("<K>", 100), Defines({{"K", "k"}}), TranslateStatus::kOk,
       Repeat("k", 100)},
      {"101 occurrences", Repeat("<K>", 101), Defines({{"K", "k"}}), TranslateStatus::kCircular, ""},
      {"empty value", "a<K>b", Defines({{"K", ""}}), TranslateStatus::kOk, "ab"},
      {"octal A", "\\0101", {}, TranslateStatus::kOk, "A"},
      {"octal copyright", "(c)\\0251", {}, TranslateStatus::kOk, "(c)\xA9"},
      {"octal zero removed", "a\\0000b", {}, TranslateStatus::kOk, "ab"},
      {"octal not a digit", "\\0x", {}, TranslateStatus::kBadOctal, ""},
      {"octal at end", "abc\\0", {}, TranslateStatus::kBadOctal, ""},
      {"path with \\0ld", "kit\\0ld\\a.exe", {}, TranslateStatus::kBadOctal, ""},
      {"five characters always", "a\\01xyz", {}, TranslateStatus::kOk, "a\x01z"},
      {"short tail", "a\\01", {}, TranslateStatus::kOk, "a\x01"},
      {"digit 8 ends number", "\\01812", {}, TranslateStatus::kOk, "\x01" "2"},
      {"blanks skipped before number", "\\0 101", {}, TranslateStatus::kOk, "A1"},
      {"negative wraps to low byte", "\\0-1zz", {}, TranslateStatus::kOk, "\xFFz"},
      {"sign without digit", "\\0+x", {}, TranslateStatus::kBadOctal, ""},
      {"decoded backslash decodes again", "\\0134" "0101", {}, TranslateStatus::kOk, "A"},
      {"100 constants", Repeat("\\0101", 100), {}, TranslateStatus::kOk, Repeat("A", 100)},
      {"101 constants", Repeat("\\0101", 101), {}, TranslateStatus::kBadOctal, ""},
      {"keyword value decoded", "<K>", Defines({{"K", "\\0101"}}), TranslateStatus::kOk, "A"},
      {"backslash without zero", "a\\1b\\\\c", {}, TranslateStatus::kOk, "a\\1b\\\\c"},
  };
  for (const Case& c : cases) {
    std::string out;
    TranslateStatus status = TranslateText(c.text, c.table, out);
    EXPECT_EQ(status, c.status) << c.name;
    if (status == TranslateStatus::kOk) {
      EXPECT_EQ(out, c.expected) << c.name;
    }
  }
}

TEST(TranslateText, DefineKeywordMakesBothFormsAndReplaces) {
  KeywordTable table;
  DefineKeyword(table, "KitDir", "x");
  DefineKeyword(table, "kitdir", "y");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table.at("<KITDIR>"), "y");
  EXPECT_EQ(table.at("[KITDIR]"), "y");
  DefineKeyword(table, "files", " spaced ");
  EXPECT_EQ(table.at("[FILES]"), " spaced ");
  // Angle forms first, then square forms.
  EXPECT_EQ(table.begin()->first, "<FILES>");
}

TEST(TranslateText, FailureTextsAndStatuses) {
  EXPECT_STREQ(TranslateFailureText(TranslateStatus::kCircular),
               "\nCircular translation error - Dummy!!\n");
  EXPECT_STREQ(TranslateFailureText(TranslateStatus::kBadOctal),
               "\nToo many or malformed octal character constants in string - Dummy!!\n");
  EXPECT_EQ(TranslateFailureExitStatus(TranslateStatus::kCircular), 64);
  EXPECT_EQ(TranslateFailureExitStatus(TranslateStatus::kBadOctal), 66);
}

}  // namespace

TEST(TranslateUtf16Text, NamesOutsideTheCodePageSurviveTheSameRules) {
  // The test code page: each byte is the character of the same number.
  auto latin1 = [](const std::string& text) {
    std::u16string out;
    for (unsigned char c : text) out.push_back(c);
    return out;
  };
  const KeywordTable table = Defines({{"dir", "C:\\caf\xe9"}});
  struct Utf16Case {
    std::u16string text;
    TranslateStatus status;
    std::u16string expected;
  } cases[] = {
      {u"F1 = \u65e5\u672c.txt , <DIR>\\a.txt", TranslateStatus::kOk,
       u"F1 = \u65e5\u672c.txt , C:\\caf\u00e9\\a.txt"},
      {u"\u0416\\0251\\0101", TranslateStatus::kOk, u"\u0416\u00a9A"},  // five characters a constant
      {u"\u0416\\01\u0416xy", TranslateStatus::kOk, u"\u0416\u0001y"},
      {u"\\0x \u0416", TranslateStatus::kBadOctal, u""},
      {u"<DIR>", TranslateStatus::kOk, u"C:\\caf\u00e9"},
  };
  for (const Utf16Case& c : cases) {
    std::u16string out;
    TranslateStatus status = TranslateUtf16Text(c.text, table, latin1, out);
    EXPECT_EQ(c.status, status);
    if (status == TranslateStatus::kOk) {
      EXPECT_TRUE(out == c.expected);
    }
  }
}
