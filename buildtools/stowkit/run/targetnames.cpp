#include "run/targetnames.h"

#include <cctype>

#include "formatstring.h"
#include "services/textutil.h"

namespace run {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDotsOrBlanks(const std::string& segment) {
  for (char c : segment) {
    if (c != '.' && c != ' ') return false;
  }
  return true;
}

// Names the system maps to devices whatever the folder and extension.
bool IsDeviceName(const std::string& segment) {
  std::string base = segment.substr(0, segment.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

}  // namespace

std::string AppendPath(const std::string& directory, const std::string& name) {
  size_t skip = 0;
  while (skip < name.size() && IsSeparator(name[skip])) ++skip;
  if (directory.empty()) return name.substr(skip);
  std::string joined = directory;
  if (!IsSeparator(joined.back())) joined.push_back('\\');
  joined.append(name, skip, std::string::npos);
  return joined;
}

TargetProblem CheckTargetName(const std::string& target) {
  if (!target.empty() && IsSeparator(target[0])) return TargetProblem::kRooted;
  if (target.find(':') != std::string::npos) return TargetProblem::kColon;
  int depth = 0;
  for (const std::string& raw : SplitText("\\/", target)) {
    std::string segment = TrimBlanks(raw);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (--depth < 0) return TargetProblem::kLeavesWorkDir;
      continue;
    }
    // The system drops trailing dots and blanks from names, so "..." or ". ." could mean
    // something other than a plain name: never guess.
    if (IsDotsOrBlanks(segment)) return TargetProblem::kLeavesWorkDir;
    if (IsDeviceName(segment)) return TargetProblem::kDeviceName;
    ++depth;
  }
  return TargetProblem::kNone;
}

std::string UnsafeTargetMessage(const std::string& target, TargetProblem problem) {
  const char* reason = "";
  switch (problem) {
    case TargetProblem::kNone: break;
    case TargetProblem::kRooted: reason = "absolute path"; break;
    case TargetProblem::kColon: reason = "drive letter or stream name"; break;
    case TargetProblem::kLeavesWorkDir: reason = "outside the working directory"; break;
    case TargetProblem::kDeviceName: reason = "device name"; break;
    case TargetProblem::kLink: reason = "link in path"; break;
  }
  return FormatToString("Failure: unsafe target name '%s' (%s)", target.c_str(), reason);
}

std::vector<std::string> DirectoryLevels(const std::string& target) {
  std::vector<std::string> levels;
  std::vector<std::string> segments = SplitText("\\/", target);
  std::string path;
  for (size_t i = 0; i + 1 < segments.size(); ++i) {
    std::string segment = TrimBlanks(segments[i]);
    if (segment.empty()) continue;
    path = AppendPath(path, segment);
    levels.push_back(path);
  }
  return levels;
}

}  // namespace run
