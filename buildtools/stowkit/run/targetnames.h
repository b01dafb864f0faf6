// Target names of kit members: where in the working directory a member may be written.
#pragma once

#include <string>
#include <vector>

namespace run {

// Joins a directory and a name with one backslash ("" + name gives name). Leading separators
// of name are dropped, as PathAppend drops them; there is no length limit.
std::string AppendPath(const std::string& directory, const std::string& name);

// Why a target name may not be written: it must be a relative path that stays inside the
// working directory, names an ordinary file, and reaches it through plain directories only.
enum class TargetProblem {
  kNone,
  kRooted,         // leading '\' or '/' (also UNC)
  kColon,          // drive letter or alternate data stream
  kLeavesWorkDir,  // ".." climbing above the working directory, or a segment of dots only
  kDeviceName,     // CON, NUL, COM1, ...
  kLink,           // a directory level or the target itself is a link or junction
};

// Checks the name as written (UTF-8 text; every byte of a multi-byte character is above
// 127, so none is taken for a separator).
TargetProblem CheckTargetName(const std::string& target);

// "Failure: unsafe target name '<target>' (<reason>)"
std::string UnsafeTargetMessage(const std::string& target, TargetProblem problem);

// The directories to create, in order, before target can be written: every non-empty
// (trimmed) segment but the last, each joined to the ones before it.
std::vector<std::string> DirectoryLevels(const std::string& target);

}  // namespace run
