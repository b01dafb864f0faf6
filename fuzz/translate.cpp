// Keyword substitution and octal constants on arbitrary text and definitions. The input is
// split at the first two NUL bytes into text, keyword and value.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/translate.h"

using namespace pack;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t first = input.find('\0');
  std::string text = input.substr(0, first);
  KeywordTable table;
  if (first != std::string::npos) {
    std::string rest = input.substr(first + 1);
    size_t second = rest.find('\0');
    std::string keyword = rest.substr(0, second);
    std::string value = second == std::string::npos ? std::string() : rest.substr(second + 1);
    DefineKeyword(table, keyword, value);
  }
  std::string out;
  TranslateStatus status = TranslateText(text, table, out);
  if (status == TranslateStatus::kOk && table.empty()) {
    // Without keywords only escapes change the text, and each shortens it.
    if (out.size() > text.size()) __builtin_trap();
    if (text.find("\\0") == std::string::npos && out != text) __builtin_trap();
  }
  return 0;
}
