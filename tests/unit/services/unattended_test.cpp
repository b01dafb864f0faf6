// When a run counts as unattended.
#include "services/unattended.h"

#include <gtest/gtest.h>

#include <string>

TEST(Unattended, VariableFirstThenTheWindowStation) {
  enum Station { kVisible, kInvisible, kUnreadable };
  struct Case {
    const char* variable;
    Station station;
    Unattended expected;
  } cases[] = {
      {nullptr, kVisible, Unattended::kNo},
      {nullptr, kInvisible, Unattended::kInvisibleWindowStation},
      {nullptr, kUnreadable, Unattended::kWindowStationUnknown},
      {"1", kVisible, Unattended::kEnvironment},
      {"1", kInvisible, Unattended::kEnvironment},
      {"0", kVisible, Unattended::kNo},
      {"", kVisible, Unattended::kNo},
      {"yes", kVisible, Unattended::kNo},
      {"1 ", kInvisible, Unattended::kInvisibleWindowStation},
  };
  for (const Case& c : cases) {
    auto query = [&](bool& visible) {
      visible = c.station == kVisible;
      return c.station != kUnreadable;
    };
    EXPECT_EQ(static_cast<int>(c.expected), static_cast<int>(DecideUnattended(c.variable, query)))
        << (c.variable ? c.variable : "(unset)") << " " << c.station;
  }
  EXPECT_STREQ("window station not visible", UnattendedReason(Unattended::kInvisibleWindowStation));
  EXPECT_STREQ("STOWKIT_UNATTENDED=1", UnattendedReason(Unattended::kEnvironment));
}
