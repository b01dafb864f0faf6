// An end of the run that nothing can recover from. It is thrown rather than ending the process
// on the spot, so that every owner on the way up deletes what it made (temporary files, partial
// output); the mode's top level reports the text and returns the status.
#pragma once

#include <string>

struct FatalEnd {
  int status;
  std::string text;  // already in the ANSI code page, as it is shown
};

constexpr int kFatalErrorStatus = 1;
constexpr int kNoTempNameStatus = 32;
