#include "run/win32/runkit.h"

#include <ctime>
#include <string>
#include <vector>

#include "commandline.h"
#include "run/controlfile.h"
#include "run/installlog.h"
#include "run/kitarguments.h"
#include "run/win32/cleanup.h"
#include "run/win32/installer.h"
#include "run/win32/report.h"
#include "run/win32/securedir.h"
#include "run/win32/unpack.h"
#include "services/fatalend.h"
#include "services/memoryprofile.h"
#include "services/win32/codepage.h"
#include "services/win32/unattended.h"
#include "services/win32/win32util.h"

namespace run {

namespace {

using KitArguments = BasicKitArguments<char>;

constexpr int kStepFailedStatus = 1;

std::wstring JoinPath(const std::wstring& directory, const std::wstring& name) {
  if (!directory.empty() && directory.back() != L'\\' && directory.back() != L'/') {
    return directory + L"\\" + name;
  }
  return directory + name;
}

// A relative log name is resolved now, while the start directory is still the current one, so
// that every line (and the installer, through INSTALL_LOGFILE) uses the same file outside the
// working directory, which is deleted at the end.
std::wstring InstallLogPath(const std::wstring& startDir, const KitArguments& args) {
  if (!args.hasLog || args.logValue.empty()) return JoinPath(startDir, L"install.log");
  std::wstring value = WideFromUtf8(args.logValue);
  DWORD needed = GetFullPathNameW(value.c_str(), 0, nullptr, nullptr);
  if (needed != 0) {
    std::wstring full(needed, L'\0');
    DWORD got = GetFullPathNameW(value.c_str(), needed, &full[0], nullptr);
    if (got != 0 && got < needed) {
      full.resize(got);
      return full;
    }
  }
  return JoinPath(startDir, value);
}

std::string UtcTimeText() {
  std::time_t now = std::time(nullptr);
  const std::tm* utc = std::gmtime(&now);
  const char* text = utc ? std::asctime(utc) : nullptr;
  return text ? text : "\n";
}

// A failure that ends the run before anything was unpacked: logged and shown.
int Refuse(const std::string& text) {
  WriteInstallLog(FailureLine(text));
  ShowRunnerMessage(text);
  return kStepFailedStatus;
}

// The run from the control file on; a FatalEnd leaves it with the working directory (when
// made) still to remove.
int RunFromControlFile(const std::wstring& startDir, const std::wstring& tempPath,
                       const KitArguments& args, std::wstring& workDir) {
  RunnerState& runner = Runner();
  std::string controlText;
  if (!ReadControlFile(controlText)) return kStepFailedStatus;
  MemoryProfile profile(runner.instance);
  profile.SetTrimValues(true);
  profile.Feed(true, controlText.size(), controlText.data());
  KitSettings settings = ReadKitSettings(profile, runner.title);
  runner.title = settings.description;
  if (!settings.failure.empty()) return Refuse(settings.failure);

  if (!settings.commandLine.empty() && TakesKitArguments(settings.commandLine)) {
    int unsafe = FindUnsafeInterpreterArgument(args.remaining);
    if (unsafe >= 0) return Refuse(UnsafeArgumentMessage(args.remaining[unsafe]));
  }
  std::string commandLine = SubstituteKitArguments(settings.commandLine, args.text);
  std::string winCmdLine = SubstituteKitArguments(settings.winCmdLine, args.text);

  workDir = MakeWorkingDirectory(tempPath, static_cast<long long>(std::time(nullptr)));
  if (workDir.empty()) {
    ShowRunnerMessage("Failure: could not create temporary directory");
    return kStepFailedStatus;
  }
  if (!SetCurrentDirectoryW(workDir.c_str())) {
    ShowRunnerMessage("Failure: could not set working directory to temporary directory");
    RemoveDirectoryW(workDir.c_str());  // still empty: nothing of the run stays behind
    workDir.clear();
    return kStepFailedStatus;
  }
  ForEachMember(profile, [&](const Member& member) { ExtractMember(member, workDir); });
  int status = RunInstaller(workDir, commandLine, winCmdLine, settings.fatal);
  CleanUpWorkingDirectory(workDir, startDir, true);
  return status;
}

}  // namespace

int RunKit(HINSTANCE instance, const char* moduleBaseName) {
  RunnerState& runner = Runner();
  runner.instance = instance;
  runner.title = Utf8FromAnsi(moduleBaseName ? moduleBaseName : "");
  runner.unattended = UnattendedMode();

  std::wstring startDir = CurrentDirectoryWide();
  if (startDir.empty()) {
    ShowRunnerMessage("Failure: cannot get current working directory");
    return kStepFailedStatus;
  }
  std::wstring tempPath = TempPathWide();
  if (tempPath.empty()) {
    ShowRunnerMessage("Failure: cannot find temporary path");
    return kStepFailedStatus;
  }

  // The wide command line keeps every character; as UTF-8 it splits by the same rules, and
  // from here on it is the process's command line for run mode.
  KitArguments args;
  {
    std::string commandLine = Utf8FromWide(GetCommandLineW());
    BasicCommandLineCursor<char> cursor(commandLine.c_str());
    args = TakeKitArguments(cursor);
  }
  runner.logPath = InstallLogPath(startDir, args);
  WriteInstallLog(LogHeaderLine(UtcTimeText()));
  if (runner.unattended != Unattended::kNo) {
    WriteInstallLog(UnattendedModeLine(UnattendedReason(runner.unattended)));
  }

  std::wstring workDir;
  try {
    return RunFromControlFile(startDir, tempPath, args, workDir);
  } catch (const FatalEnd& end) {
    // What the failing step made is gone already; the rest of the run goes the same way.
    WriteInstallLog(FailureLine(end.text));
    ShowRunnerMessage(end.text);
    if (!workDir.empty()) CleanUpWorkingDirectory(workDir, startDir, false);
    return end.status;
  }
}

}  // namespace run
