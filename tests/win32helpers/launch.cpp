// launch: starts one program for the end-to-end tests, dismisses every dialog box that
// the program (or anything it starts) shows, and reports how the run ended.
//
// Usage: launch.exe REQUEST-FILE
//
// The request file is UTF-8 text, one field per line, "<key> <hex>" where <hex> is the
// value's UTF-8 bytes in hex (so quotes, blanks and line ends in values need no escaping):
//   program <hex>          file to run (lpApplicationName)
//   cmdline <hex>          the complete command line, passed to CreateProcessW unchanged
//   cwd <hex>              current directory of the program (optional)
//   set <hex> <hex>        environment variable name and value to set (repeatable)
//   unset <hex>            environment variable to remove (repeatable)
//   timeout <decimal>      milliseconds before the whole process tree is terminated
//                          (4294967295: no limit)
//   report <hex>           file that receives the report
//
// The report is one JSON object (ASCII):
//   {"pid": N, "exit_code": N|null, "timed_out": bool, "error": null|"text",
//    "boxes": [{"caption": s, "text": s, "buttons": [s...], "pid": N, "topmost": bool,
//               "dismissed_with": N}...]}
// exit_code is the full 32-bit status, unsigned. dismissed_with is the command id last
// posted before the box went away (1 = IDOK), 0 if it was still open at the end.
// Exit status of launch.exe: 0 report written, 2 bad request, 3 program not started,
// 4 report not writable.
#include <windows.h>

#include <string>
#include <vector>

#include "helpers.h"

using namespace helpers;

namespace {

struct Request {
  std::wstring program, cmdline, cwd, report;
  bool hasCwd = false;
  std::vector<std::pair<std::wstring, std::wstring>> set;
  std::vector<std::wstring> unset;
  DWORD timeoutMs = 60000;
};

struct Box {
  HWND hwnd = nullptr;
  std::wstring caption, text;
  std::vector<std::wstring> buttons;
  DWORD pid = 0;
  bool topmost = false;
  bool open = true;
  int attempts = 0;
  ULONGLONG lastPost = 0;
  UINT lastCommand = 0;
};

std::vector<std::string> SplitExact(const std::string& line, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = line.find(sep, start);
    if (at == std::string::npos) {
      parts.push_back(line.substr(start));
      return parts;
    }
    parts.push_back(line.substr(start, at - start));
    start = at + 1;
  }
}

bool ParseRequest(const std::string& data, Request& req, std::string& error) {
  bool haveProgram = false, haveCmdline = false, haveReport = false;
  for (std::string line : SplitExact(data, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> f = SplitExact(line, ' ');
    std::vector<std::wstring> values;
    for (size_t i = 1; i < f.size(); ++i) {
      std::string raw;
      if (f[0] != "timeout" && !HexDecode(f[i], raw)) {
        error = "bad hex in line: " + line;
        return false;
      }
      values.push_back(FromUtf8(raw));
    }
    size_t want = f[0] == "set" ? 2 : 1;
    if (values.size() != want) {
      error = "wrong number of fields: " + line;
      return false;
    }
    if (f[0] == "program") {
      req.program = values[0], haveProgram = true;
    } else if (f[0] == "cmdline") {
      req.cmdline = values[0], haveCmdline = true;
    } else if (f[0] == "cwd") {
      req.cwd = values[0], req.hasCwd = true;
    } else if (f[0] == "report") {
      req.report = values[0], haveReport = true;
    } else if (f[0] == "set") {
      req.set.emplace_back(values[0], values[1]);
    } else if (f[0] == "unset") {
      req.unset.push_back(values[0]);
    } else if (f[0] == "timeout") {
      char* end = nullptr;
      unsigned long ms = strtoul(f[1].c_str(), &end, 10);
      if (f[1].empty() || *end) {
        error = "bad timeout: " + line;
        return false;
      }
      req.timeoutMs = (DWORD)ms;
    } else {
      error = "unknown key: " + line;
      return false;
    }
  }
  if (!haveProgram || !haveCmdline || !haveReport) {
    error = "request needs program, cmdline and report";
    return false;
  }
  return true;
}

// Dialogs of the programs in our job only: concurrent test runs share one desktop, and a
// box belonging to another run must be left to that run's launcher.
class Watcher {
 public:
  Watcher(HANDLE job, DWORD childPid) : job_(job), childPid_(childPid) {}

  void Poll() {
    seen_.clear();
    RefreshMembers();
    EnumWindows(&Watcher::Visit, (LPARAM)this);
    ULONGLONG now = GetTickCount64();
    for (Box& box : boxes_) {
      if (!box.open) continue;
      bool present = false;
      for (HWND h : seen_) present = present || h == box.hwnd;
      if (!present || !IsWindow(box.hwnd)) {
        box.open = false;
      } else if (now - box.lastPost >= 400) {
        Dismiss(box, now);
      }
    }
  }

  const std::vector<Box>& boxes() const { return boxes_; }

 private:
  static BOOL CALLBACK Visit(HWND hwnd, LPARAM self) {
    reinterpret_cast<Watcher*>(self)->Consider(hwnd);
    return TRUE;
  }

  static BOOL CALLBACK VisitChild(HWND hwnd, LPARAM boxPtr) {
    wchar_t cls[64] = {0};
    GetClassNameW(hwnd, cls, 64);
    if (lstrcmpiW(cls, L"Button") == 0)
      reinterpret_cast<Box*>(boxPtr)->buttons.push_back(WindowText(hwnd));
    return TRUE;
  }

  bool Ours(DWORD pid) const {
    if (pid == childPid_) return true;
    for (ULONG_PTR member : members_)
      if (member == pid) return true;
    return false;
  }

  // The job's process list (IsProcessInJob is not reliable under Wine).
  void RefreshMembers() {
    members_.clear();
    if (!job_) return;
    std::vector<ULONG_PTR> buf(64);
    for (;;) {
      auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buf.data());
      DWORD bytes = (DWORD)(buf.size() * sizeof(ULONG_PTR));
      if (!QueryInformationJobObject(job_, JobObjectBasicProcessIdList, list, bytes, nullptr) &&
          GetLastError() != ERROR_MORE_DATA)
        return;
      if (list->NumberOfProcessIdsInList >= list->NumberOfAssignedProcesses) {
        members_.assign(list->ProcessIdList, list->ProcessIdList + list->NumberOfProcessIdsInList);
        return;
      }
      buf.resize(list->NumberOfAssignedProcesses + 16);
    }
  }

  void Consider(HWND hwnd) {
    if (!IsWindowVisible(hwnd)) return;
    wchar_t cls[16] = {0};
    if (!GetClassNameW(hwnd, cls, 16) || lstrcmpW(cls, L"#32770") != 0) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (!Ours(pid)) return;
    seen_.push_back(hwnd);
    for (const Box& box : boxes_)
      if (box.open && box.hwnd == hwnd) return;
    Box box;
    box.hwnd = hwnd;
    box.pid = pid;
    box.caption = WindowText(hwnd);
    if (HWND text = GetDlgItem(hwnd, 0xFFFF)) box.text = WindowText(text);
    box.topmost = (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    EnumChildWindows(hwnd, &Watcher::VisitChild, (LPARAM)&box);
    Dismiss(box, GetTickCount64());
    boxes_.push_back(box);
  }

  // OK first; a dialog that ignores it gets Cancel, then a close request, then a click on
  // each of its buttons in turn, so that no dialog can stall a test.
  static void Dismiss(Box& box, ULONGLONG now) {
    int step = box.attempts++;
    if (step == 0) {
      box.lastCommand = IDOK;
      PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else if (step == 1) {
      box.lastCommand = IDCANCEL;
      PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else if (step == 2) {
      box.lastCommand = 0;
      PostMessageW(box.hwnd, WM_CLOSE, 0, 0);
    } else {
      std::vector<HWND> buttons;
      for (HWND c = GetWindow(box.hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[16] = {0};
        GetClassNameW(c, cls, 16);
        if (lstrcmpiW(cls, L"Button") == 0) buttons.push_back(c);
      }
      if (!buttons.empty()) {
        HWND b = buttons[(step - 3) % buttons.size()];
        box.lastCommand = (UINT)GetDlgCtrlID(b);
        PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(box.lastCommand, BN_CLICKED), (LPARAM)b);
      }
    }
    box.lastPost = now;
  }

  HANDLE job_;
  DWORD childPid_;
  std::vector<HWND> seen_;
  std::vector<ULONG_PTR> members_;
  std::vector<Box> boxes_;
};

std::string Report(DWORD pid, bool exited, DWORD code, bool timedOut, const std::string& error,
                   const std::vector<Box>& boxes) {
  std::string out = "{\"pid\": " + Decimal(pid);
  out += ", \"exit_code\": " + (exited ? Decimal(code) : std::string("null"));
  out += ", \"timed_out\": " + JsonBool(timedOut);
  out += ", \"error\": " + (error.empty() ? std::string("null") : JsonBytes(error));
  out += ", \"boxes\": [";
  for (size_t i = 0; i < boxes.size(); ++i) {
    const Box& b = boxes[i];
    if (i) out += ", ";
    out += "{\"caption\": " + JsonWide(b.caption) + ", \"text\": " + JsonWide(b.text);
    out += ", \"buttons\": [";
    for (size_t j = 0; j < b.buttons.size(); ++j) out += (j ? ", " : "") + JsonWide(b.buttons[j]);
    out += "], \"pid\": " + Decimal(b.pid) + ", \"topmost\": " + JsonBool(b.topmost);
    out += ", \"dismissed_with\": " + Decimal(b.open ? 0 : b.lastCommand) + "}";
  }
  return out + "]}\n";
}

int Fail(int status, const std::string& message) {
  WriteStd(STD_ERROR_HANDLE, "launch: " + message + "\n");
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return Fail(2, "usage: launch.exe REQUEST-FILE");
  // Crashes end the program with their status instead of opening a debugger dialog; the
  // mode is inherited by everything the program starts.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

  std::string data, error;
  Request req;
  if (!ReadWholeFile(argv[1], data)) return Fail(2, "cannot read the request file");
  if (!ParseRequest(data, req, error)) return Fail(2, error);

  for (const auto& kv : req.set) SetEnvironmentVariableW(kv.first.c_str(), kv.second.c_str());
  for (const auto& name : req.unset) SetEnvironmentVariableW(name.c_str(), nullptr);

  // Everything the program starts joins the job: its boxes are watched, and a time-out or
  // the end of this launcher takes the whole tree down.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }

  STARTUPINFOW si = {};
  si.cb = sizeof si;
  InheritStdHandles(si);
  PROCESS_INFORMATION pi = {};
  std::vector<wchar_t> cmdline(req.cmdline.begin(), req.cmdline.end());
  cmdline.push_back(L'\0');
  if (!CreateProcessW(req.program.c_str(), cmdline.data(), nullptr, nullptr, TRUE,
                      CREATE_SUSPENDED, nullptr, req.hasCwd ? req.cwd.c_str() : nullptr, &si,
                      &pi)) {
    DWORD code = GetLastError();
    std::string message = "CreateProcess failed: " + Decimal(code) + " " + ToUtf8(LastErrorText(code));
    if (!WriteFileText(req.report, Report(0, false, 0, false, message, {}), false))
      return Fail(4, "cannot write the report");
    return 3;
  }
  if (job && !AssignProcessToJobObject(job, pi.hProcess)) {
    CloseHandle(job);
    job = nullptr;
  }
  // The program has not run a single instruction yet. The mark tells the harness that from
  // here on a lost report must not be retried: the program may have had side effects.
  WriteFileText(req.report + L".started", "", false);
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);

  Watcher watcher(job, pi.dwProcessId);
  ULONGLONG start = GetTickCount64();
  bool timedOut = false;
  for (;;) {
    watcher.Poll();
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    if (req.timeoutMs != INFINITE && GetTickCount64() - start >= req.timeoutMs) {
      timedOut = true;
      if (job) TerminateJobObject(job, 0xDEAD);
      TerminateProcess(pi.hProcess, 0xDEAD);
      WaitForSingleObject(pi.hProcess, 5000);
      break;
    }
  }
  watcher.Poll();
  DWORD code = 0;
  bool exited = !timedOut && GetExitCodeProcess(pi.hProcess, &code);
  if (!WriteFileText(req.report, Report(pi.dwProcessId, exited, code, timedOut, "", watcher.boxes()), false))
    return Fail(4, "cannot write the report");
  CloseHandle(pi.hProcess);
  if (job) CloseHandle(job);
  return 0;
}
