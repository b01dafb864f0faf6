// The kit's own arguments: the log option, the debug switch, and what the installer is given.
#pragma once

#include <string>
#include <vector>

#include "commandline.h"

namespace run {

template <class Ch>
struct BasicKitArguments {
  bool hasLog = false;                           // a log option with a value was argument 1
  std::basic_string<Ch> logValue;                // may be empty ("-log:")
  std::vector<std::basic_string<Ch>> remaining;  // the arguments the installer receives
  std::basic_string<Ch> text;                    // the same, as substituted for the markers
};

// Consumes the log option (argument 1 only: any abbreviation of "log", value after ':' or
// '=' or as the next argument) and the program name from the process-wide command line and
// returns what remains. The cursor must be freshly made over the raw command line.
template <class Ch>
BasicKitArguments<Ch> TakeKitArguments(BasicCommandLineCursor<Ch>& cursor);

// Removes every debug switch (abbreviations of "debug" with 3 characters or "dbg" with 2)
// from argument 1 on; the argument that moves into a removed one's place is not examined.
// True when one was found.
template <class Ch>
bool TakeDebugSwitches(BasicCommandLineCursor<Ch>& cursor);

// Replaces the first "<ARGS>" and the first "[ARGS]" of command by arguments. Both markers
// are located in the command as written, so marker-like text inside the arguments is never
// replaced in turn.
std::string SubstituteKitArguments(const std::string& command, const std::string& arguments);

// Whether command takes the kit's arguments (holds "<ARGS>" or "[ARGS]").
bool TakesKitArguments(const std::string& command);

// The first argument that cannot be handed to the command interpreter inside double quotes:
// a double quote would end the quoting, a line break the command, and the rest of the
// argument would run as a command of its own. -1 when every argument is safe.
int FindUnsafeInterpreterArgument(const std::vector<std::string>& arguments);

// "Failure: unsafe kit argument '<argument>' (quote or line break)"
std::string UnsafeArgumentMessage(const std::string& argument);

}  // namespace run
