// A platform failure as pack mode reports it: the error code and the system's text for it,
// captured right after the failing call.
#pragma once

#include <cstdint>
#include <string>

struct SystemError {
  uint32_t code = 0;
  std::string text;
};
