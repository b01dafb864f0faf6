#include "pack/packtime.h"

#include "formatstring.h"

namespace pack {

namespace {
constexpr int64_t kLastSecond = INT64_C(253402300799);  // 9999-12-31 23:59:59 UTC
constexpr uint64_t kUnixEpochAsFileTime = UINT64_C(116444736000000000);
constexpr uint64_t kTicksPerSecond = 10000000;
}  // namespace

EpochSetting ReadSourceDateEpoch(const char* value, int64_t& seconds, std::string& reason) {
  if (value == nullptr) return EpochSetting::kUnset;
  std::string text(value);
  bool digits = !text.empty() && text.size() <= 12;
  seconds = 0;
  for (char c : text) {
    digits = digits && c >= '0' && c <= '9';
    if (digits) seconds = seconds * 10 + (c - '0');
  }
  if (!digits || seconds > kLastSecond) {
    reason = FormatToString("SOURCE_DATE_EPOCH '%s' is not a number of seconds since 1970 (up to the year 9999)",
                            value);
    return EpochSetting::kInvalid;
  }
  return EpochSetting::kSet;
}

uint64_t FileTimeFromUnix(int64_t seconds) {
  return kUnixEpochAsFileTime + static_cast<uint64_t>(seconds) * kTicksPerSecond;
}

int UtcYear(int64_t seconds) {
  // Civil date from days since 1970 (proleptic Gregorian calendar).
  int64_t days = seconds / 86400;
  int64_t z = days + 719468;
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  return static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

PackTime PackTimeFromEpoch(int64_t seconds) {
  PackTime t;
  t.year = UtcYear(seconds);
  t.fileTime = FileTimeFromUnix(seconds);
  return t;
}

}  // namespace pack
