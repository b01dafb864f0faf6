#include "run/runsteps.h"

#include <cctype>

#include "formatstring.h"
#include "services/kitformat.h"
#include "services/textutil.h"

namespace {

constexpr int kMemberValueBuffer = 519;

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

// Cuts a target name at '\\' and '/' as SplitText would, but never at the trail byte of a
// double-byte character.
std::vector<std::string> PathSegments(const std::string& target,
                                      MemoryProfile::LeadByteTest leadByte) {
  std::vector<std::string> segments;
  if (target.empty()) return segments;
  std::string segment;
  for (size_t i = 0; i < target.size(); ++i) {
    char c = target[i];
    if (leadByte && leadByte(static_cast<unsigned char>(c)) && i + 1 < target.size()) {
      segment.push_back(c);
      segment.push_back(target[++i]);
    } else if (IsSeparator(c)) {
      segments.push_back(std::move(segment));
      segment.clear();
    } else {
      segment.push_back(c);
    }
  }
  segments.push_back(std::move(segment));
  return segments;
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

KitArguments TakeKitArguments(BasicCommandLineCursor<char>& cursor) {
  KitArguments result;
  cursor.Next();
  if (cursor.IsSwitch() && cursor.IsSwitchNamed("log", 0)) {
    const char* value = cursor.SwitchValue();
    if (!value) {
      cursor.RemoveCurrent();
      value = cursor.Current();
    }
    if (value) {
      result.hasLog = true;
      result.logValue = value;
      cursor.RemoveCurrent();
    }
  }
  cursor.Seek(0);
  // Without even a program name there is nothing to pass on.
  if (!cursor.RemoveCurrent()) return result;
  const char* raw = cursor.RawCommandLine();
  result.text = raw ? raw : "";
  return result;
}

bool TakeDebugSwitches(BasicCommandLineCursor<char>& cursor) {
  bool found = false;
  for (const char* arg = cursor.Next(); arg; arg = cursor.Next()) {
    if (cursor.IsSwitchNamed("debug", 3) || cursor.IsSwitchNamed("dbg", 2)) {
      cursor.RemoveCurrent();
      found = true;
    }
  }
  return found;
}

std::string SubstituteKitArguments(const std::string& command, const std::string& arguments) {
  static const std::string kAngle = "<ARGS>";
  static const std::string kSquare = "[ARGS]";
  size_t angle = command.find(kAngle);
  size_t square = command.find(kSquare);
  std::string result;
  size_t done = 0;
  auto replace = [&](size_t at, size_t length) {
    result.append(command, done, at - done);
    result += arguments;
    done = at + length;
  };
  // The markers cannot overlap, so replacing the earlier one first keeps both positions.
  if (angle != std::string::npos && (square == std::string::npos || angle < square)) {
    replace(angle, kAngle.size());
    if (square != std::string::npos) replace(square, kSquare.size());
  } else if (square != std::string::npos) {
    replace(square, kSquare.size());
    if (angle != std::string::npos) replace(angle, kAngle.size());
  }
  result.append(command, done, std::string::npos);
  return result;
}

std::string DecodeControlFile(const unsigned char* data, size_t size, const AnsiConverter& toAnsi) {
  auto byteAt = [&](size_t i) -> unsigned { return i < size ? data[i] : 0u; };
  if (byteAt(0) == 0xFF && byteAt(1) == 0xFE && byteAt(3) == 0) {
    std::u16string units;
    for (size_t i = 2; i < size; i += 2) {
      char16_t unit = static_cast<char16_t>(byteAt(i) | (byteAt(i + 1) << 8));
      if (unit == 0) break;
      units.push_back(unit);
    }
    return toAnsi(units);
  }
  size_t length = 0;
  while (length < size && data[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(data), length);
}

TargetProblem CheckTargetName(const std::string& target, MemoryProfile::LeadByteTest leadByte) {
  if (!target.empty() && IsSeparator(target[0])) return TargetProblem::kRooted;
  if (target.find(':') != std::string::npos) return TargetProblem::kColon;
  int depth = 0;
  for (const std::string& raw : PathSegments(target, leadByte)) {
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
  }
  return FormatToString("Failure: unsafe target name '%s' (%s)", target.c_str(), reason);
}

std::vector<std::string> DirectoryLevels(const std::string& target,
                                         MemoryProfile::LeadByteTest leadByte) {
  std::vector<std::string> levels;
  std::vector<std::string> segments = PathSegments(target, leadByte);
  std::string path;
  for (size_t i = 0; i + 1 < segments.size(); ++i) {
    std::string segment = TrimBlanks(segments[i]);
    if (segment.empty()) continue;
    path = AppendPath(path, segment);
    levels.push_back(path);
  }
  return levels;
}

void ForEachMember(const MemoryProfile& profile, const std::function<void(const UnpackMember&)>& visit) {
  char value[kMemberValueBuffer];
  int misses = 0;
  for (int number = 1;; ++number) {
    UnpackMember member;
    member.number = number;
    member.key = FormatToString("F%d", number);
    int got = profile.GetString(kitformat::kFilesSection, member.key.c_str(), "", value,
                                kMemberValueBuffer);
    if (got < 1 && ++misses > kitformat::kMemberMissLimit) return;
    std::vector<std::string> fields = SplitText(",", value);
    if (fields.size() < 2) continue;
    member.target = TrimBlanks(fields[0]);
    visit(member);
  }
}

std::string CreateWorkingDirectory(const std::string& tempPath, long long seconds, int tries,
                                   const std::function<CreateOutcome(const std::string&)>& create) {
  for (int k = 0; k < tries; ++k) {
    std::string path =
        AppendPath(tempPath, FormatToString("emc_%d", static_cast<int>(seconds + k)));
    switch (create(path)) {
      case CreateOutcome::kCreated: return path;
      case CreateOutcome::kExists: break;
      case CreateOutcome::kFailed: return std::string();
    }
  }
  return std::string();
}

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
