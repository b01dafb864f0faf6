#include "pack/translate.h"

#include "formatstring.h"
#include "pack/numbers.h"

namespace pack {

namespace {

constexpr int kReplacementLimit = 100;

// What scanning "\0%3o" at the backslash reads: blanks are skipped before the number (they do
// not count towards its width), then at most three characters of an optionally signed octal
// number. False when no digit follows.
template <class Text>
bool ScanOctalConstant(const Text& text, size_t backslash, unsigned& value) {
  size_t pos = backslash + 2;
  auto blank = [](auto c) {
    unsigned code = static_cast<unsigned>(c);  // a negative char is no blank
    return code < 128 && IsScanSpace(static_cast<char>(code));
  };
  while (pos < text.size() && blank(text[pos])) ++pos;
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

// Both stages of TranslateText over text of one width; charFor gives the text of a decoded
// constant's code (never called for 0).
template <class Text, class Table, class CharFor>
TranslateStatus Translate(const Text& text, const Table& table, CharFor charFor, Text& out) {
  out = text;
  for (const auto& [key, value] : table) {
    if (key.empty()) continue;  // DefineKeyword never makes one; an empty key would never end
    int count = 0;
    for (size_t at = out.find(key); at != Text::npos; at = out.find(key)) {
      if (++count > kReplacementLimit) return TranslateStatus::kCircular;
      out.replace(at, key.size(), value);
    }
  }
  const Text escape = {'\\', '0'};
  int count = 0;
  for (size_t at = out.find(escape); at != Text::npos; at = out.find(escape)) {
    unsigned code = 0;
    if (!ScanOctalConstant(out, at, code)) return TranslateStatus::kBadOctal;
    if (++count > kReplacementLimit) return TranslateStatus::kBadOctal;
    unsigned char byte = static_cast<unsigned char>(code & 0xFF);
    out.replace(at, 5, byte ? charFor(byte) : Text());
  }
  return TranslateStatus::kOk;
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
  return Translate(text, table, [](unsigned char byte) { return std::string(1, static_cast<char>(byte)); },
                   out);
}

TranslateStatus TranslateUtf16Text(const std::u16string& text, const KeywordTable& table,
                                   const std::function<std::u16string(const std::string&)>& fromAnsi,
                                   std::u16string& out) {
  // The table keeps its byte-wise order of the ANSI keys.
  std::vector<std::pair<std::u16string, std::u16string>> wide;
  for (const auto& [key, value] : table) wide.emplace_back(fromAnsi(key), fromAnsi(value));
  return Translate(text, wide,
                   [&](unsigned char byte) { return fromAnsi(std::string(1, static_cast<char>(byte))); },
                   out);
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
