// boxer: a GUI-subsystem program the harness tests itself with. Its arguments are steps,
// done in order:
//   --box CAPTION TEXT STYLE   MessageBoxW (STYLE in C notation: 0x2030, 48, ...)
//   --out TEXT / --err TEXT    TEXT in UTF-8 to standard output / error, no line end added
//   --spawn CMDLINE            start CMDLINE (sharing the standard handles) and wait for it
//   --sleep MS                 pause
//   --hang                     never end
//   --exit N                   end now with status N (C notation, may be negative)
// Without --exit the status is 0. A malformed step ends the program with status 99.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "helpers.h"

using namespace helpers;

namespace {

bool Number(const wchar_t* text, long long& value) {
  wchar_t* end = nullptr;
  value = wcstoll(text, &end, 0);
  return *text && !*end;
}

int Usage(const wchar_t* what) {
  WriteStd(STD_ERROR_HANDLE, "boxer: bad step " + ToUtf8(what) + "\n");
  return 99;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    std::wstring step = argv[i];
    int left = argc - i - 1;
    long long n = 0;
    if (step == L"--box" && left >= 3) {
      if (!Number(argv[i + 3], n)) return Usage(argv[i + 3]);
      MessageBoxW(nullptr, argv[i + 2], argv[i + 1], (UINT)n);
      i += 3;
    } else if ((step == L"--out" || step == L"--err") && left >= 1) {
      WriteStd(step == L"--out" ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, ToUtf8(argv[++i]));
    } else if (step == L"--spawn" && left >= 1) {
      STARTUPINFOW si = {};
      si.cb = sizeof si;
      InheritStdHandles(si);
      PROCESS_INFORMATION pi = {};
      std::wstring line = argv[++i];
      if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return Usage(line.c_str());
      WaitForSingleObject(pi.hProcess, INFINITE);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    } else if (step == L"--sleep" && left >= 1) {
      if (!Number(argv[++i], n)) return Usage(argv[i]);
      Sleep((DWORD)n);
    } else if (step == L"--hang") {
      Sleep(INFINITE);
    } else if (step == L"--exit" && left >= 1) {
      if (!Number(argv[++i], n)) return Usage(argv[i]);
      ExitProcess((UINT)n);
    } else {
      return Usage(step.c_str());
    }
  }
  return 0;
}
