// What run mode tells its user: the install log, the message boxes (or, unattended, their
// log lines), the debugger copies of log lines; and the runner's process-wide state.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "clientexception.h"
#include "services/unattended.h"

namespace run {

struct RunnerState {
  HINSTANCE instance = nullptr;  // the module whose resources hold the kit
  std::string title;             // UTF-8: module base name, then the control file's DESCRIPTION
  std::wstring logPath;          // absolute; set before the first line
  bool logTried = false;         // the first line has been written or tried
  int debug = -1;                // -1 until IsDebugOn first looks
  Unattended unattended = Unattended::kNo;
  std::unique_ptr<unsigned char[]> resource;  // shared by every LoadKitResource
  size_t resourceCapacity = 0;
};
RunnerState& Runner();

// Appends UTF-8 text, in the ANSI code page, to the install log (opened and closed for each
// text, so every line is on disk before the next step). When the log cannot be opened for its
// first text, install.log in the temporary path becomes the log of the whole run; later
// failures are silent.
void WriteInstallLog(const std::string& text);

// WriteInstallLog, and the same text to the debugger output when the debug switch is on.
void LogLine(const std::string& text);

// A task-modal warning box (0x2030) captioned with the message title; unattended, its caption
// and text go to the install log and the debugger output instead, and the run goes on as
// after OK.
void ShowRunnerMessage(const std::string& text);

// A launch error, system-modal as raised; unattended, logged like the runner's boxes.
void ShowLaunchError(CClientException& error);

// The debug switch; the first call removes every debug switch from the command line.
bool IsDebugOn();

}  // namespace run
