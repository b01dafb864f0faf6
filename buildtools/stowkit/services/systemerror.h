// A platform failure as both modes report it: the error code and the system's text for it,
// captured right after the failing call, before anything else can change the code.
#pragma once

#include <cstdint>
#include <string>

struct SystemError {
  uint32_t code = 0;
  std::string text;
};
