// Number reading with the rules pack mode relies on, done by hand so that no platform's
// hexadecimal prefixes or 32-bit wrap-around change what a value means.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pack {

// The blanks scanf skips before a number (and a "%c" conversion after " " skips).
bool IsScanSpace(char c);

// Saturating bounds: a number too large to hold reads as the bound, never wraps.
constexpr int64_t kNumberMax = INT64_C(999999999999999999);

// scanf's "%d" at text[pos]: blanks skipped, an optional sign, then decimal digits. Advances
// pos past the number and returns true, or returns false (pos unchanged) when no digit is there.
bool ScanDecimal(const std::string& text, size_t& pos, int64_t& value);

// A steering-file integer: the decimal number at the start of the value (after blanks, with an
// optional sign); a value that does not begin with a number reads as 0. An empty value, like an
// absent key, gives the default.
int64_t ProfileNumber(const std::string& value, int64_t defaultValue);

// The COMPRESS option rule: the value reads as exactly one decimal integer, blanks around it
// allowed and nothing else after it, and that integer is 0.
bool IsExactZero(const std::string& value);

}  // namespace pack
