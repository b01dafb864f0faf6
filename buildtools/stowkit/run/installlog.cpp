#include "run/installlog.h"

#include "formatstring.h"

namespace run {

namespace {
// Line ends inside a text become blanks, so that one text stays one line of the log.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    line.push_back(c == '\n' ? ' ' : c);
  }
  size_t begin = line.find_first_not_of(' ');
  size_t end = line.find_last_not_of(' ');
  return begin == std::string::npos ? std::string() : line.substr(begin, end - begin + 1);
}
}  // namespace

std::string LogHeaderLine(const std::string& asctimeText) {
  return FormatToString("\n\n+++ New Installation Started at %s \n", asctimeText.c_str());
}

std::string ReadControlFileLine(size_t bytes) {
  return FormatToString("---  Read control file (%d bytes)\n", static_cast<int>(bytes));
}

std::string CreatedFileLine(const std::string& name, size_t bytes) {
  return FormatToString("Created file '%s' of length %d byte%s\n", name.c_str(),
                        static_cast<int>(bytes), bytes == 1 ? "" : "s");
}

std::string CreatedTargetLine(const std::string& target) {
  return FormatToString("Created target file '%s'\n", target.c_str());
}

std::string DeletingTreeLine(const std::string& path) {
  return FormatToString("-- Deleting directory tree '%s'\n", path.c_str());
}

std::string DeletingDirectoryLine(const std::string& path) {
  return FormatToString("-- Deleting directory '%s'\n", path.c_str());
}

std::string DeletingFileLine(const std::string& path) {
  return FormatToString("-- Deleting file '%s'\n", path.c_str());
}

std::string UnattendedModeLine(const char* reason) {
  return FormatToString("-- Running unattended (%s)\n", reason);
}

std::string UnattendedBoxLine(const std::string& caption, const std::string& text) {
  return FormatToString("-- Unattended: [%s] %s\n", caption.c_str(), OneLine(text).c_str());
}

std::string FailureLine(const std::string& text) { return OneLine(text) + "\n"; }

}  // namespace run
