#include "run/win32/report.h"

#include <cstdio>

#include "commandline.h"
#include "run/installlog.h"
#include "run/kitarguments.h"
#include "services/win32/codepage.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"
#include "services/win32/win32util.h"

namespace run {

namespace {

FILE* OpenLog(const std::wstring& path) {
  return path.empty() ? nullptr : _wfopen(CallablePath(path).c_str(), L"a");
}

void LogUnattendedBox(const std::string& caption, const std::string& text,
                      const char* before = "") {
  std::string line = before + UnattendedBoxLine(caption, text);
  WriteInstallLog(line);
  OutputDebugStringA(AnsiFromUtf8(line).c_str());
}

}  // namespace

RunnerState& Runner() {
  static RunnerState state;
  return state;
}

void WriteInstallLog(const std::string& text) {
  RunnerState& state = Runner();
  UniqueStdioFile log(OpenLog(state.logPath));
  if (!log && !state.logTried) {
    // An unwritable start directory must not cost the run its log, nor send the installer to
    // a file it cannot open.
    std::wstring temp = TempPathWide();
    if (!temp.empty()) {
      state.logPath = temp + L"install.log";
      log.reset(OpenLog(state.logPath));
    }
  }
  state.logTried = true;
  if (!log) return;
  std::string ansi = AnsiFromUtf8(text);
  std::fwrite(ansi.data(), 1, ansi.size(), log.get());
}

void LogLine(const std::string& text) {
  WriteInstallLog(text);
  if (IsDebugOn()) OutputDebugStringA(AnsiFromUtf8(text).c_str());
}

void ShowRunnerMessage(const std::string& text) {
  RunnerState& state = Runner();
  if (state.unattended != Unattended::kNo) {
    LogUnattendedBox(state.title, text);
    return;
  }
  MessageBoxA(nullptr, AnsiFromUtf8(text).c_str(), AnsiFromUtf8(state.title).c_str(),
              kReportBoxStyle);
}

void ShowLaunchError(CClientException& error) {
  if (Runner().unattended != Unattended::kNo) {
    // The command the launch failed on stands in the log without a line end.
    LogUnattendedBox(Utf8FromAnsi(error.Caption()), Utf8FromAnsi(error.Text()), "\n");
    return;
  }
  error.Show(kMbSystemModal);
}

bool IsDebugOn() {
  RunnerState& state = Runner();
  if (state.debug < 0) {
    BasicCommandLineCursor<char> cursor;  // over the UTF-8 command line TakeKitArguments left
    state.debug = TakeDebugSwitches(cursor) ? 1 : 0;
  }
  return state.debug == 1;
}

}  // namespace run
