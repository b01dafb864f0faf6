#include "services/textutil.h"

namespace {
// Control characters and the blank; bytes above 127 (ANSI letters) are never blanks.
bool IsTrimmed(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}
}  // namespace

std::string TrimBlanks(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::vector<std::string> SplitText(const std::string& separators, const std::string& text) {
  std::vector<std::string> fields;
  if (text.empty()) return fields;
  size_t start = 0;
  for (;;) {
    size_t cut = separators.empty() ? std::string::npos : text.find_first_of(separators, start);
    if (cut == std::string::npos) {
      fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, cut - start));
    start = cut + 1;
  }
}

bool IsUtf16Text(const unsigned char* data, size_t size) {
  return size >= 2 && data[0] == 0xFF && data[1] == 0xFE && (size < 4 || data[3] == 0);
}

std::u16string Utf16TextAfterMark(const unsigned char* data, size_t size) {
  std::u16string text;
  for (size_t at = 2; at < size; at += 2) {
    unsigned high = at + 1 < size ? data[at + 1] : 0;
    char16_t unit = static_cast<char16_t>(data[at] | (high << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}
