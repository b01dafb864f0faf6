// A platform failure as both modes report it: the error code and the system's text for it,
// captured right after the failing call, before anything else can change the code.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct SystemError {
  uint32_t code = 0;
  std::string text;
};

// "0x%08X : %s": the code in 8 upper-case hexadecimal digits and the text, as every pack-mode
// message names a platform error.
inline std::string CodeAndText(const SystemError& error) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(error.code));
  return std::string(code) + " : " + error.text;
}
