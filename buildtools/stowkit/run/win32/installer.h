// Starting the installer that the control file names, and turning its end into the kit's
// exit status.
#pragma once

#include <string>

namespace run {

// Starts command (UTF-8) in workDir, waits and returns its exit code. Raises a
// CClientException (shown first, or logged when unattended) when it cannot start, or when
// fatal is set and it ends with a non-zero code.
int LaunchInstaller(const std::wstring& workDir, const std::string& command, bool fatal);

// Sets INSTALL_LOGFILE, then runs commandLine through the command interpreter or, when that
// is empty, winCmdLine as a process; 0 when both are empty.
int RunInstaller(const std::wstring& workDir, const std::string& commandLine,
                 const std::string& winCmdLine, bool fatal);

}  // namespace run
