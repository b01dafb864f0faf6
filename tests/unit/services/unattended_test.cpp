// When a run counts as unattended.
#include "services/unattended.h"

#include <gtest/gtest.h>

#include <string>

namespace {
enum Station { kVisible, kInvisible, kUnreadable };
Station g_station = kVisible;
bool Query(bool& visible) {
  visible = g_station == kVisible;
  return g_station != kUnreadable;
}
}  // namespace

TEST(Unattended, VariableFirstThenTheWindowStation) {
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
    g_station = c.station;
    EXPECT_EQ(static_cast<int>(c.expected), static_cast<int>(DecideUnattended(c.variable, Query)))
        << (c.variable ? c.variable : "(unset)") << " " << c.station;
  }
  EXPECT_STREQ("window station not visible", UnattendedReason(Unattended::kInvisibleWindowStation));
  EXPECT_STREQ("STOWKIT_UNATTENDED=1", UnattendedReason(Unattended::kEnvironment));
}
