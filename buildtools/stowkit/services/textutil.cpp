#include "services/textutil.h"

#include "utf8.h"

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

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point starting at text[at]; at moves past it.
char32_t NextUtf8(const std::string& text, size_t& at) {
  unsigned char lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  int more = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
  if (more < 0) return kReplacement;
  char32_t c = lead & (0x3F >> more);
  for (int i = 0; i < more; ++i) {
    if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
      return kReplacement;
    }
    c = (c << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
  }
  static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (c < kLeast[more] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return kReplacement;
  return c;
}

}  // namespace

std::string Utf8FromUtf16(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf16FromUtf8(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    char32_t c = NextUtf8(text, at);
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

size_t Utf16Length(const std::string& utf8) {
  size_t units = 0;
  for (size_t at = 0; at < utf8.size();) units += NextUtf8(utf8, at) >= 0x10000 ? 2 : 1;
  return units;
}

bool SameAsciiCaseless(const std::u16string& a, const std::u16string& b) {
  auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c; };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}
