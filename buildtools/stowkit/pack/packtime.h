// The time a kit records (file date and copyright year of its version block): the clock, or
// the SOURCE_DATE_EPOCH of reproducible builds (seconds since 1970) when that is set, so that
// the same inputs give the same kit bytes.
#pragma once

#include <cstdint>
#include <string>

namespace pack {

struct PackTime {
  int year = 0;           // calendar year of the copyright line
  uint64_t fileTime = 0;  // 100-nanosecond units since 1601-01-01 UTC
};

enum class EpochSetting { kUnset, kSet, kInvalid };

// Reads SOURCE_DATE_EPOCH's value (null when unset): decimal digits only, at most the end of
// year 9999. kInvalid sets reason.
EpochSetting ReadSourceDateEpoch(const char* value, int64_t& seconds, std::string& reason);

// The epoch's file time and its UTC year.
PackTime PackTimeFromEpoch(int64_t seconds);

uint64_t FileTimeFromUnix(int64_t seconds);
int UtcYear(int64_t seconds);

}  // namespace pack
