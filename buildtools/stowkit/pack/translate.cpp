#include "pack/translate.h"

#include "formatstring.h"
#include "pack/numbers.h"

namespace pack {

namespace {

constexpr int kReplacementLimit = 100;

// What scanning "\0%3o" at the backslash reads: blanks are skipped before the number (they do
// not count towards its width), then at most three characters of an optionally signed octal
// number. False when no digit follows.
bool ScanOctalConstant(const std::string& text, size_t backslash, unsigned& value) {
  size_t pos = backslash + 2;
  while (pos < text.size() && IsScanSpace(text[pos])) ++pos;
  size_t width = 3;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
    --width;
  }
  unsigned number = 0;
  size_t digits = 0;
  while (digits < width && pos < text.size() && text[pos] >= '0' && text[pos] <= '7') {
    number = number * 8 + static_cast<unsigned>(text[pos] - '0');
    ++pos;
    ++digits;
  }
  if (digits == 0) return false;
  value = negative ? 0u - number : number;
  return true;
}

}  // namespace

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

void DefineKeyword(KeywordTable& table, const std::string& keyword, const std::string& value) {
  table[UpperAscii(FormatToString("<%s>", keyword.c_str()))] = value;
  table[UpperAscii(FormatToString("[%s]", keyword.c_str()))] = value;
}

TranslateStatus TranslateText(const std::string& text, const KeywordTable& table,
                              std::string& out) {
  out = text;
  for (const auto& [key, value] : table) {
    if (key.empty()) continue;  // DefineKeyword never makes one; an empty key would never end
    int count = 0;
    for (size_t at = out.find(key); at != std::string::npos; at = out.find(key)) {
      if (++count > kReplacementLimit) return TranslateStatus::kCircular;
      out.replace(at, key.size(), value);
    }
  }
  int count = 0;
  for (size_t at = out.find("\\0"); at != std::string::npos; at = out.find("\\0")) {
    unsigned code = 0;
    if (!ScanOctalConstant(out, at, code)) return TranslateStatus::kBadOctal;
    if (++count > kReplacementLimit) return TranslateStatus::kBadOctal;
    char c = static_cast<char>(code & 0xFF);
    out.replace(at, 5, (code & 0xFF) ? std::string(1, c) : std::string());
  }
  return TranslateStatus::kOk;
}

const char* TranslateFailureText(TranslateStatus status) {
  switch (status) {
    case TranslateStatus::kCircular: return "\nCircular translation error - Dummy!!\n";
    case TranslateStatus::kBadOctal:
      return "\nToo many or malformed octal character constants in string - Dummy!!\n";
    case TranslateStatus::kOk: break;
  }
  return "";
}

int TranslateFailureExitStatus(TranslateStatus status) {
  switch (status) {
    case TranslateStatus::kCircular: return 64;
    case TranslateStatus::kBadOctal: return 66;
    case TranslateStatus::kOk: break;
  }
  return 0;
}

}  // namespace pack
