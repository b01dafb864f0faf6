#include "pack/translate.h"

#include "formatstring.h"
#include "pack/numbers.h"
#include "services/textutil.h"

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

// Both stages of TranslateText; charFor gives the text of a decoded constant's code (never
// called for 0), constantLength how many bytes the five characters of a constant take.
template <class Text, class Table, class CharFor, class ConstantLength>
TranslateStatus Translate(const Text& text, const Table& table, CharFor charFor,
                          ConstantLength constantLength, Text& out) {
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
    out.replace(at, constantLength(out, at), byte ? charFor(byte) : Text());
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
  return Translate(
      text, table, [](unsigned char byte) { return std::string(1, static_cast<char>(byte)); },
      [](const std::string&, size_t) { return size_t{5}; }, out);
}

TranslateStatus TranslateUtf16Text(const std::u16string& text, const KeywordTable& table,
                                   const std::function<std::u16string(const std::string&)>& fromAnsi,
                                   std::u16string& out) {
  // Worked in UTF-8, where the search and replacement of the 8-bit translation apply as they
  // are; the table keeps its byte-wise order of the ANSI keys.
  auto utf8 = [&](const std::string& ansi) { return Utf8FromUtf16(fromAnsi(ansi)); };
  std::vector<std::pair<std::string, std::string>> table8;
  for (const auto& [key, value] : table) table8.emplace_back(utf8(key), utf8(value));
  std::string translated;
  TranslateStatus status = Translate(
      Utf8FromUtf16(text), table8,
      [&](unsigned char byte) { return utf8(std::string(1, static_cast<char>(byte))); },
      [](const std::string& text8, size_t at) {
        size_t end = at;
        for (int characters = 0; characters < 5 && end < text8.size(); ++characters) {
          do ++end;
          while (end < text8.size() && (static_cast<unsigned char>(text8[end]) & 0xC0) == 0x80);
        }
        return end - at;
      },
      translated);
  out = Utf16FromUtf8(translated);
  return status;
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
