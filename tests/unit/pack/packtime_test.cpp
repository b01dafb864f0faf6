// SOURCE_DATE_EPOCH: what is accepted, and the year and file time a kit records for it.
#include <gtest/gtest.h>

#include "pack/packtime.h"

using namespace pack;

TEST(PackTime, SourceDateEpoch) {
  const struct {
    const char* value;
    EpochSetting setting;
    int year;
    uint64_t fileTime;
  } cases[] = {
      {nullptr, EpochSetting::kUnset, 0, 0},
      {"0", EpochSetting::kSet, 1970, UINT64_C(116444736000000000)},
      {"951782399", EpochSetting::kSet, 2000, UINT64_C(125962559990000000)},  // 2000-02-28 23:59:59
      {"1704067199", EpochSetting::kSet, 2023, UINT64_C(133485407990000000)},  // last second of 2023
      {"1704067200", EpochSetting::kSet, 2024, UINT64_C(133485408000000000)},
      {"253402300799", EpochSetting::kSet, 9999, UINT64_C(2650467743990000000)},
      {"253402300800", EpochSetting::kInvalid, 0, 0},
      {"", EpochSetting::kInvalid, 0, 0},
      {"-1", EpochSetting::kInvalid, 0, 0},
      {"12 ", EpochSetting::kInvalid, 0, 0},
      {"1e9", EpochSetting::kInvalid, 0, 0},
  };
  for (const auto& c : cases) {
    int64_t seconds = 0;
    std::string reason;
    EpochSetting setting = ReadSourceDateEpoch(c.value, seconds, reason);
    EXPECT_EQ(setting, c.setting) << (c.value ? c.value : "(unset)");
    if (setting == EpochSetting::kSet) {
      PackTime time = PackTimeFromEpoch(seconds);
      EXPECT_EQ(time.year, c.year) << c.value;
      EXPECT_EQ(time.fileTime, c.fileTime) << c.value;
    }
    if (setting == EpochSetting::kInvalid) {
      EXPECT_NE(reason.find("SOURCE_DATE_EPOCH"), std::string::npos);
    }
  }
}
