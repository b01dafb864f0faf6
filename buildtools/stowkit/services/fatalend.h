// An end of the run that nothing can recover from. It is thrown rather than ending the process
// on the spot, so that every owner on the way up deletes what it made (temporary files, partial
// output); the mode's top level reports the text and returns the status.
#pragma once

#include <string>

struct FatalEnd {
  int status;
  std::string text;  // as the mode writes its texts: pack mode ANSI, run mode UTF-8
};

constexpr int kFatalErrorStatus = 1;
constexpr int kNoTempNameStatus = 32;
