#include "services/textutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(TrimBlanks, StripsControlCharactersAndBlanksFromBothEndsOnly) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"   ", ""},
      {"\t\r\n abc \x01\x1f", "abc"},
      {"a b", "a b"},
      {" a \t b ", "a \t b"},
      // Bytes above 127 are ANSI letters, not blanks, even where a signed char is negative.
      {"\xE9t\xE9 ", "\xE9t\xE9"},
      {"\xA0x\xA0", "\xA0x\xA0"},
      {"\x7F", "\x7F"},  // DEL is above 32
      {"!", "!"},
  };
  for (const Case& c : cases) EXPECT_EQ(TrimBlanks(c.in), c.out) << "input [" << c.in << "]";
}

TEST(SplitText, FieldsAtEverySeparator) {
  using V = std::vector<std::string>;
  struct Case {
    std::string seps, text;
    V fields;
  } cases[] = {
      {",", "", V{}},
      {",", "a", V{"a"}},
      {",", "a,b", V{"a", "b"}},
      {",", "a,,b", V{"a", "", "b"}},
      {",", "a,", V{"a", ""}},
      {",", ",", V{"", ""}},
      {",", ",a", V{"", "a"}},
      {",;", "a;b,c", V{"a", "b", "c"}},
      {",;", ";,", V{"", "", ""}},
      {"", "a,b", V{"a,b"}},
      {" ", "x  y", V{"x", "", "y"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitText(c.seps, c.text), c.fields) << "[" << c.seps << "] [" << c.text << "]";
  }
}
