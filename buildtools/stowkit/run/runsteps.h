// The parts of run mode that need no operating system: the kit's own arguments, the debug
// switch, substitution into the installer command, decoding of the control file, the member
// scan, checks on target names, and the texts of the install log.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "commandline.h"
#include "run/memoryprofile.h"

// Joins a directory and a name with one backslash ("" + name gives name). Leading separators
// of name are dropped, as PathAppend drops them; there is no length limit.
std::string AppendPath(const std::string& directory, const std::string& name);

struct KitArguments {
  bool hasLog = false;   // a log option with a value was given as argument 1
  std::string logValue;  // may be empty ("-log:")
  std::string text;      // the remaining arguments as the installer receives them
};

// Consumes the log option (argument 1 only: any abbreviation of "log", value after ':' or
// '=' or as the next argument) and the program name from the process-wide command line and
// returns what remains. The cursor must be freshly made over the raw command line.
KitArguments TakeKitArguments(BasicCommandLineCursor<char>& cursor);

// Removes every debug switch (abbreviations of "debug" with 3 characters or "dbg" with 2)
// from argument 1 on; the argument that moves into a removed one's place is not examined.
// True when one was found.
bool TakeDebugSwitches(BasicCommandLineCursor<char>& cursor);

// Replaces the first "<ARGS>" and the first "[ARGS]" of command by arguments. Both markers
// are located in the command as written, so marker-like text inside the arguments is never
// replaced in turn.
std::string SubstituteKitArguments(const std::string& command, const std::string& arguments);

// The control file's text: UTF-16 little-endian when it starts FF FE and its fourth byte is
// 0 (up to the first zero unit, converted by toAnsi), else the bytes up to the first zero.
// Bytes beyond size read as zero, as they do in a buffer from ReadWholeFile.
using AnsiConverter = std::function<std::string(const std::u16string&)>;
std::string DecodeControlFile(const unsigned char* data, size_t size, const AnsiConverter& toAnsi);

// Why a target name may not be written: it must be a relative path that stays inside the
// working directory and names an ordinary file.
enum class TargetProblem {
  kNone,
  kRooted,         // leading '\' or '/' (also UNC)
  kColon,          // drive letter or alternate data stream
  kLeavesWorkDir,  // ".." climbing above the working directory, or a segment of dots only
  kDeviceName,     // CON, NUL, COM1, ...
};
// leadByte tells which bytes start a double-byte character of the active code page: the byte
// after one is never a separator (the system reads it as part of the character), so a trail
// byte equal to '\\' must not split the name here either. Null: every byte stands alone.
TargetProblem CheckTargetName(const std::string& target,
                              MemoryProfile::LeadByteTest leadByte = nullptr);

// "Failure: unsafe target name '<target>' (<reason>)"
std::string UnsafeTargetMessage(const std::string& target, TargetProblem problem);

// The directories to create, in order, before target can be written: every non-empty
// (trimmed) segment but the last, each joined to the ones before it.
// Separators are found as CheckTargetName finds them.
std::vector<std::string> DirectoryLevels(const std::string& target,
                                         MemoryProfile::LeadByteTest leadByte = nullptr);

struct UnpackMember {
  int number = 0;
  std::string key;     // "F<number>", the member's resource name
  std::string target;  // field 1 of the [FILES] value, trimmed
};

// Visits the [FILES] entries F1, F2, ... in number order until more than 100 numbers had no
// entry; values with fewer than two fields are passed over.
void ForEachMember(const MemoryProfile& profile, const std::function<void(const UnpackMember&)>& visit);

// The working directory: "emc_<seconds>" below tempPath, made by create. A name that exists
// already is passed over for the next second's (up to tries names), so a run never uses a
// directory it did not create. Empty when none could be created.
enum class CreateOutcome { kCreated, kExists, kFailed };
std::string CreateWorkingDirectory(const std::string& tempPath, long long seconds, int tries,
                                   const std::function<CreateOutcome(const std::string&)>& create);

// Install-log lines.
std::string LogHeaderLine(const std::string& asctimeText);
std::string ReadControlFileLine(size_t bytes);
std::string CreatedFileLine(const std::string& name, size_t bytes);
std::string CreatedTargetLine(const std::string& target);
std::string DeletingTreeLine(const std::string& path);
std::string DeletingDirectoryLine(const std::string& path);
std::string DeletingFileLine(const std::string& path);
