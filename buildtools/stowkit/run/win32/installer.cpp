#include "run/win32/installer.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "clientexception.h"
#include "run/win32/report.h"
#include "services/win32/codepage.h"
#include "services/win32/handles.h"

namespace run {

namespace {

// Launch errors carry this unit name and these lines in their caption ("installer-192 : "),
// which users and support scripts quote: they stay fixed whatever this file looks like.
constexpr const char* kLaunchUnit = "installer";
constexpr int kCreateProcessLine = 192;
constexpr int kInstallerFailedLine = 199;

[[noreturn]] void RaiseLaunchError(DWORD code, int line, const char* format,
                                   const std::string& command) {
  SetLastError(code);  // the exception's text names the failing call's error
  CClientException* error = new CClientException(format, AnsiFromUtf8(command).c_str());
  error->SetErrorCode(code);
  error->SetLocation(kLaunchUnit, line, nullptr);
  ShowLaunchError(*error);
  throw error;
}

}  // namespace

int LaunchInstaller(const std::wstring& workDir, const std::string& command, bool fatal) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.wShowWindow = SW_SHOWDEFAULT;
  PROCESS_INFORMATION info = {};
  std::wstring wide = WideFromUtf8(command);
  std::vector<wchar_t> commandLine(wide.begin(), wide.end());
  commandLine.push_back(L'\0');
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workDir.c_str(), &startup, &info)) {
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

int RunInstaller(const std::wstring& workDir, const std::string& commandLine,
                 const std::string& winCmdLine, bool fatal) {
  // The runtime keeps its own copy and passes it on to the system environment, so every
  // process started from here inherits it.
  static std::wstring variable;
  variable = L"INSTALL_LOGFILE=" + Runner().logPath;
  _wputenv(variable.c_str());
  if (!commandLine.empty()) return _wsystem(WideFromUtf8(commandLine).c_str());
  if (!winCmdLine.empty()) return LaunchInstaller(workDir, winCmdLine, fatal);
  return 0;
}

}  // namespace run
