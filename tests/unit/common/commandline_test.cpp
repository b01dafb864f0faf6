// The command-line parser in both widths.
#include "commandline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace {

template <class Ch>
class CommandLineTest : public ::testing::Test {
 protected:
  using S = std::basic_string<Ch>;
  using List = std::vector<S>;

  void SetUp() override { ResetProcessRawCommandLine<Ch>(); }
  void TearDown() override { ResetProcessRawCommandLine<Ch>(); }

  static S T(const std::string& s) { return Str<Ch>(s); }
  static List L(const std::vector<std::string>& items) {
    List out;
    for (const auto& i : items) out.push_back(T(i));
    return out;
  }
  static List Split(const std::string& text) { return SplitCommandLine(T(text).c_str()); }
  static S Raw() {
    const Ch* raw = ProcessRawCommandLine<Ch>();
    return raw ? S(raw) : T("<absent>");
  }
  static S Or(const Ch* text) { return text ? S(text) : T("<null>"); }
  static std::string N(const S& s) { return Narrow(s); }
};

using Widths = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(CommandLineTest, Widths);

TYPED_TEST(CommandLineTest, SplittingFollowsTheQuoteAndBackslashRules) {
  struct Case {
    std::string text;
    std::vector<std::string> args;
  } cases[] = {
      {"", {}},
      {" \t\r\n\v\f ", {}},
      {"a  b\tc", {"a", "b", "c"}},
      {"a\\\\\\\"b", {"a\\\"b"}},              // a\\\"b: odd run, literal quote
      {"a\\\\\"b c\"", {"a\\b c"}},            // a\\"b c": even run, the quote delimits
      {"\"a\"\"b\"", {"a\"b"}},                // two quotes inside quotes give one
      {"x\\y\\", {"x\\y\\"}},                  // backslashes not before a quote stay
      {"a\\\\b", {"a\\\\b"}},
      {"\"\"", {""}},
      {"\"\" x \"\"", {"", "x", ""}},
      {"\"unbalanced text", {"unbalanced text"}},
      {"\"C:\\Program Files\\kit.exe\" -x", {"C:\\Program Files\\kit.exe", "-x"}},
      {"a\"b c\"d e", {"ab cd", "e"}},
      {"\\\"", {"\""}},
      {"\"a\\\\\" b", {"a\\", "b"}},
      {"\"\"\"\"", {"\""}},  // open, doubled quote, then the text ends inside quotes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(this->Split(c.text), this->L(c.args)) << "[" << c.text << "]";
  }
  EXPECT_TRUE(SplitCommandLine<TypeParam>(nullptr).empty());
}

TYPED_TEST(CommandLineTest, QuotedArgumentsSplitBackUnchanged) {
  const std::vector<std::vector<std::string>> lists = {
      {"one", "two three"},
      {""},
      {"", "", "x"},
      {"\""},
      {"\\"},
      {"a\\"},
      {"a\\\\"},
      {"\\\""},
      {"a\"b", "c\\\"d", "\\\\\"\\"},
      {"tab\there", "new\nline"},
      {"\"\"", "\"\"\""},
      {"x\\y\\", "C:\\Program Files\\"},
  };
  for (const auto& list : lists) {
    typename TestFixture::S joined;
    for (const auto& arg : list) {
      if (!joined.empty()) joined.push_back(' ');
      joined += QuoteArgument(this->T(arg));
    }
    EXPECT_EQ(SplitCommandLine(joined.c_str()), this->L(list)) << this->N(joined);
  }
  // Arguments without quotes or trailing backslashes are written plainly.
  struct Case {
    std::string arg, quoted;
  } cases[] = {
      {"one", "\"one\""},
      {"two three", "\"two three\""},
      {"", "\"\""},
      {"a\\b", "\"a\\b\""},
      {"a\\", "\"a\\\\\""},
      {"a\"b", "\"a\\\"b\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},
  };
  for (const Case& c : cases) EXPECT_EQ(QuoteArgument(this->T(c.arg)), this->T(c.quoted)) << c.arg;
}

TYPED_TEST(CommandLineTest, AbbreviationMatching) {
  struct Case {
    std::string text, keyword;
    int minLength;
    bool match;
  } cases[] = {
      {"cre", "create", 3, true},
      {"CREAT", "create", 3, true},
      {"create", "CREATE", 3, true},
      {"cr", "create", 3, false},
      {"created", "create", 3, false},
      {"crx", "create", 3, false},
      {"", "create", 0, false},
      {"", "", 0, false},
      {"-", "-", 3, false},  // a keyword shorter than the minimum never matches
      {"-", "-", 0, true},
      {"ab", "abc", 0, true},  // 0: the whole text must match
      {"?", "?", 1, true},
      {"h", "help", 1, true},
      {"\xE9", "\xC9", 1, false},  // only ASCII letters are folded
      {"[", "{", 1, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AbbrevMatch(this->T(c.text).c_str(), this->T(c.keyword).c_str(), c.minLength),
              c.match)
        << c.text << " / " << c.keyword << " / " << c.minLength;
  }
}

TYPED_TEST(CommandLineTest, SwitchNamesAndValues) {
  struct Case {
    std::string arg;
    bool isSwitch;
    const char* value;  // null: no value
    std::string keyword;
    int minLength;
    bool named;
  } cases[] = {
      {"-Create:out.exe", true, "out.exe", "create", 3, true},
      {"/crea=out.exe", true, "out.exe", "create", 3, true},
      {"-cr:out.exe", true, "out.exe", "create", 3, false},
      {"-createx", true, nullptr, "create", 3, false},
      {"-a:b=c", true, "b=c", "a", 1, true},
      {"-a=b:c", true, "b:c", "a", 1, true},
      {"-a:", true, "", "a", 1, true},
      {"-log", true, nullptr, "log", 0, true},
      {"-lo", true, nullptr, "log", 0, true},
      {"-", true, nullptr, "x", 0, false},
      {"-:x", true, "x", "x", 0, false},
      {"x:y", false, nullptr, "x", 0, false},
      {"", false, nullptr, "x", 0, false},
  };
  for (const Case& c : cases) {
    auto text = this->T("prog \"" + c.arg + "\"");
    BasicCommandLineCursor<TypeParam> cursor(text.c_str());
    ASSERT_NE(cursor.Next(), nullptr) << c.arg;
    EXPECT_EQ(cursor.IsSwitch(), c.isSwitch) << c.arg;
    const TypeParam* value = cursor.SwitchValue();
    EXPECT_EQ(this->Or(value), c.value ? this->T(c.value) : this->T("<null>")) << c.arg;
    EXPECT_EQ(cursor.IsSwitchNamed(this->T(c.keyword).c_str(), c.minLength), c.named) << c.arg;
    // The argument text is the same after the name comparison.
    EXPECT_EQ(this->Or(cursor.Current()), this->T(c.arg));
  }
}

TYPED_TEST(CommandLineTest, CursorMovesWithinTheList) {
  auto text = this->T("kit.exe -log path\\to.log rest");
  BasicCommandLineCursor<TypeParam> cursor(text.c_str());
  EXPECT_EQ(cursor.ArgCount(), 4);
  EXPECT_EQ(this->Or(cursor.Current()), this->T("kit.exe"));
  EXPECT_EQ(this->Or(cursor.Previous()), this->T("kit.exe"));  // stays at 0
  EXPECT_EQ(this->Or(cursor.Next()), this->T("-log"));
  EXPECT_TRUE(cursor.IsSwitchNamed(this->T("log").c_str(), 0));
  EXPECT_EQ(cursor.SwitchValue(), nullptr);
  // The value is the next argument: remove the switch, the value becomes current.
  EXPECT_TRUE(cursor.RemoveCurrent());
  EXPECT_EQ(this->Or(cursor.Current()), this->T("path\\to.log"));
  EXPECT_EQ(cursor.ArgCount(), 3);
  EXPECT_EQ(this->Or(cursor.Advance()), this->T("rest"));
  EXPECT_EQ(cursor.Next(), nullptr);
  EXPECT_EQ(cursor.Next(), nullptr);
  EXPECT_EQ(cursor.Position(), 3);  // stops at the count
  EXPECT_EQ(this->Or(cursor.Previous()), this->T("rest"));

  // Outside the list there is no current argument, and nothing can be removed.
  EXPECT_EQ(cursor.Seek(-1), nullptr);
  EXPECT_FALSE(cursor.IsSwitch());
  EXPECT_FALSE(cursor.CurrentIs(this->T("x").c_str(), 0));
  EXPECT_EQ(cursor.Seek(99), nullptr);
  EXPECT_EQ(cursor.Next(), nullptr);
  EXPECT_EQ(cursor.Position(), 99);
  const auto rawBefore = this->Raw();
  EXPECT_FALSE(cursor.RemoveCurrent());
  EXPECT_EQ(this->Raw(), rawBefore);
  EXPECT_EQ(cursor.ArgCount(), 3);

  EXPECT_EQ(cursor.ArgAt(-1), nullptr);
  EXPECT_EQ(cursor.ArgAt(3), nullptr);
  EXPECT_FALSE(cursor.ArgIs(3, this->T("rest").c_str(), 0));
  EXPECT_TRUE(cursor.ArgIs(2, this->T("REST").c_str(), 0));
  EXPECT_EQ(cursor.Args()[3], nullptr);  // the array stays null-terminated
  EXPECT_TRUE(cursor.Seek(0) && cursor.CurrentIs(this->T("kit.exe").c_str(), 0));
}

TYPED_TEST(CommandLineTest, RemovalRewritesTheProcessCommandLine) {
  auto text = this->T("kit.exe one \"two three\"");
  BasicCommandLineCursor<TypeParam> cursor(text.c_str());
  EXPECT_EQ(this->Raw(), this->T("<absent>"));  // a text-built object leaves it alone
  EXPECT_EQ(this->Or(cursor.RawCommandLine()), this->T(""));
  cursor.Seek(0);
  ASSERT_TRUE(cursor.RemoveCurrent());
  EXPECT_EQ(this->Raw(), this->T("\"one\" \"two three\""));
  EXPECT_EQ(this->Or(cursor.RawCommandLine()), this->Raw());

  // A parser made afterwards sees the shortened list, "one" as its program.
  BasicCommandLineCursor<TypeParam> later;
  EXPECT_EQ(later.ArgCount(), 2);
  EXPECT_EQ(this->Or(later.ArgAt(0)), this->T("one"));
  EXPECT_EQ(this->Or(later.ProgramName()), this->T("one"));
  EXPECT_EQ(this->Or(later.ProgramDir()), this->T(".\\"));

  // Removing everything leaves an empty text.
  EXPECT_TRUE(cursor.RemoveArg(1));
  EXPECT_TRUE(cursor.RemoveArg(0));
  EXPECT_FALSE(cursor.RemoveArg(0));
  EXPECT_EQ(this->Raw(), this->T(""));
}

TYPED_TEST(CommandLineTest, ArgumentsSurviveRemovalAndReparsing) {
  // Quotes and trailing backslashes must not change what later parsers (and the installer a
  // kit passes its arguments to) see.
  auto text = this->T(
      "kit.exe -debug \"C:\\Program Files\\\\\" a\\\"b \"say \\\"hi\\\"\" \"\" x\\\\\\\"y tail\\");
  BasicCommandLineCursor<TypeParam> first(text.c_str());
  const auto expected = this->L({"kit.exe", "C:\\Program Files\\", "a\"b", "say \"hi\"", "",
                                 "x\\\"y", "tail\\"});
  first.Seek(1);
  ASSERT_TRUE(first.RemoveCurrent());
  BasicCommandLineCursor<TypeParam> second;
  typename TestFixture::List seen;
  for (int i = 0; i < second.ArgCount(); ++i) seen.push_back(second.ArgAt(i));
  EXPECT_EQ(seen, expected) << this->N(this->Raw());
}

TYPED_TEST(CommandLineTest, ProgramNameAndDirectory) {
  struct Case {
    std::string commandLine, name, dir;
  } cases[] = {
      {"\"C:\\Program Files\\kit.exe\" -x", "kit.exe", "C:\\Program Files\\"},
      {"C:/tools/kit.exe", "kit.exe", "C:/tools\\"},  // the last '/' comes out as '\'
      {"C:kit.exe", "kit.exe", "C\\"},
      {"kit.exe", "kit.exe", ".\\"},
      {"", "", ".\\"},
      {"   ", "", ".\\"},
  };
  for (const Case& c : cases) {
    // The process command line is taken through a removal, so the default construction
    // (the only one that computes the directory) parses exactly this text.
    ResetProcessRawCommandLine<TypeParam>();
    auto text = this->T("dropped " + c.commandLine);
    BasicCommandLine<TypeParam> seed(text.c_str());
    seed.RemoveArg(0);
    BasicCommandLineCursor<TypeParam> cursor;
    EXPECT_EQ(this->Or(cursor.ProgramName()), this->T(c.name)) << c.commandLine;
    EXPECT_EQ(this->Or(cursor.ProgramDir()), this->T(c.dir)) << c.commandLine;
    EXPECT_EQ(cursor.ArgCount() == 0, c.name.empty()) << c.commandLine;
  }
}

TYPED_TEST(CommandLineTest, CallerSuppliedArgumentArray) {
  auto a = this->T("prog"), b = this->T("two words"), c = this->T("-x:1");
  const TypeParam* args[] = {a.c_str(), b.c_str(), c.c_str()};
  BasicCommandLineCursor<TypeParam> cursor(3, args);
  EXPECT_EQ(cursor.ArgCount(), 3);
  EXPECT_EQ(cursor.ArgAt(1), args[1]);  // the caller's texts, not copies
  EXPECT_EQ(cursor.Args()[3], nullptr);
  cursor.Seek(2);
  EXPECT_EQ(this->Or(cursor.SwitchValue()), this->T("1"));
  cursor.Seek(0);
  EXPECT_TRUE(cursor.RemoveCurrent());
  EXPECT_EQ(this->Raw(), this->T("\"two words\" \"-x:1\""));
  EXPECT_EQ(cursor.ArgAt(0), args[1]);

  BasicCommandLine<TypeParam> none(2, nullptr);
  EXPECT_EQ(none.ArgCount(), 0);
  EXPECT_EQ(none.ArgAt(0), nullptr);
  EXPECT_EQ(this->Or(none.ProgramName()), this->T(""));
}

}  // namespace
