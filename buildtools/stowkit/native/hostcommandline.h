// A POSIX program gets its arguments already split; the command-line parser works on one text
// as the Windows C runtime does. This joins them into the text that parses back to the same
// arguments.
#pragma once

#include <string>
#include <vector>

namespace nativepack {

// Each argument quoted only when it needs it (blank, tab, line feed, vertical tab, double quote,
// or empty), backslashes before a quote doubled, joined with single blanks.
std::string JoinArguments(const std::vector<std::string>& arguments);

}  // namespace nativepack
