#include "native/hostcommandline.h"

namespace nativepack {

namespace {

std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a quote follows: then each is doubled and the quote escaped.
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    out.push_back(c);
    backslashes = 0;
  }
  out.append(backslashes * 2, '\\');
  out.push_back('"');
  return out;
}

}  // namespace

std::string JoinArguments(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& arg : arguments) {
    if (!line.empty()) line.push_back(' ');
    line += Quote(arg);
  }
  return line;
}

}  // namespace nativepack
