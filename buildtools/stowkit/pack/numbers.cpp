#include "pack/numbers.h"

namespace pack {

bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool ScanDecimal(const std::string& text, size_t& pos, int64_t& value) {
  size_t at = pos;
  while (at < text.size() && IsScanSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
  int64_t number = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (number < kNumberMax / 10) number = number * 10 + (text[at] - '0');
    else number = kNumberMax;
  }
  value = negative ? -number : number;
  pos = at;
  return true;
}

int64_t ProfileNumber(const std::string& value, int64_t defaultValue) {
  if (value.empty()) return defaultValue;
  size_t pos = 0;
  int64_t number = 0;
  return ScanDecimal(value, pos, number) ? number : 0;
}

bool IsExactZero(const std::string& value) {
  size_t pos = 0;
  int64_t number = 0;
  if (!ScanDecimal(value, pos, number)) return false;
  while (pos < value.size() && IsScanSpace(value[pos])) ++pos;
  return pos == value.size() && number == 0;
}

}  // namespace pack
