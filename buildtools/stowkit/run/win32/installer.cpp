// Starting the installer that the control file names, and turning its end into the kit's
// exit status.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "clientexception.h"
#include "formatstring.h"
#include "run/win32/runner.h"
#include "services/win32/handles.h"

namespace {

// Launch errors carry this unit name and these lines in their caption ("installer-192 : "),
// which users and support scripts quote: they stay fixed whatever this file looks like.
constexpr const char* kLaunchUnit = "installer";
constexpr int kCreateProcessLine = 192;
constexpr int kInstallerFailedLine = 199;

[[noreturn]] void RaiseLaunchError(DWORD code, int line, const char* format,
                                   const std::string& command) {
  SetLastError(code);  // the exception's text names the failing call's error
  CClientException* error = new CClientException(format, command.c_str());
  error->SetErrorCode(code);
  error->SetLocation(kLaunchUnit, line, nullptr);
  error->Show(kMbSystemModal);
  throw error;
}

}  // namespace

int LaunchInstaller(const std::string& workDir, const std::string& applicationName,
                    const std::string& command, bool fatal) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.wShowWindow = SW_SHOWDEFAULT;
  PROCESS_INFORMATION info = {};
  std::vector<char> commandLine(command.begin(), command.end());
  commandLine.push_back('\0');
  if (!CreateProcessA(applicationName.empty() ? nullptr : applicationName.c_str(),
                      commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workDir.c_str(),
                      &startup, &info)) {
    DWORD code = GetLastError();
    WriteInstallLog(command);
    RaiseLaunchError(code, kCreateProcessLine, "Error in creating process '%s'", command);
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);

  // Only an error of the wait itself should show in a later message, not an older one.
  SetLastError(0);
  DWORD exitCode = 0;
  if (WaitForSingleObject(process.get(), INFINITE) == WAIT_FAILED ||
      !GetExitCodeProcess(process.get(), &exitCode)) {
    exitCode = static_cast<DWORD>(-1);  // unknown counts as failed
  }
  if (exitCode != 0 && fatal) {
    DWORD code = GetLastError();
    WriteInstallLog(command);
    RaiseLaunchError(code, kInstallerFailedLine, "Error from '%s'", command);
  }
  return static_cast<int>(exitCode);
}

int RunInstaller(const std::string& workDir, const std::string& commandLine,
                 const std::string& winCmdLine, bool fatal) {
  // The runtime keeps its own copy and passes it on to the system environment, so every
  // process started from here inherits it.
  static std::string variable;
  variable = FormatToString("INSTALL_LOGFILE=%s", Runner().logPath.c_str());
  _putenv(variable.c_str());
  if (!commandLine.empty()) return std::system(commandLine.c_str());
  if (!winCmdLine.empty()) return LaunchInstaller(workDir, std::string(), winCmdLine, fatal);
  return 0;
}
