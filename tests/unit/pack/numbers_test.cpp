// Integer reading of steering-file values and of the COMPRESS option.
#include <gtest/gtest.h>

#include "pack/numbers.h"

using namespace pack;

namespace {

TEST(ProfileNumber, NumberAtTheStart) {
  const struct {
    const char* value;
    int64_t expected;
  } cases[] = {
      {"", 7},        // empty reads like absent: the default
      {"0", 0},       {"1", 1},     {"  12 apples", 12}, {"-3", -3},  {"+4", 4},
      {"abc", 0},     {"0x1F", 0},  // no hexadecimal
      {"4294967296", 4294967296},   // no 32-bit wrap to 0
      {"99999999999999999999999", kNumberMax},
      {"-", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ProfileNumber(c.value, 7), c.expected) << c.value;
}

TEST(IsExactZero, CompressOptionRule) {
  const struct {
    const char* value;
    bool zero;
  } cases[] = {
      {"0", true},    {" 0 ", true},   {"00", true},   {"-0", true},  {"+0\t", true},
      {"0x0", false}, {"no", false},   {"", false},    {"  ", false}, {"1", false},
      {"0 1", false}, {"4294967296", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsExactZero(c.value), c.zero) << "'" << c.value << "'";
}

}  // namespace
