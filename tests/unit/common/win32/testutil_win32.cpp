#include <windows.h>

#include "../testutil.h"

namespace {
DWORD WINAPI ThreadMain(void* param) {
  (*static_cast<const std::function<void()>*>(param))();
  return 0;
}
}  // namespace

// The win32-threads runtime has no std::thread.
bool RunOnNewThread(const std::function<void()>& fn) {
  HANDLE thread = CreateThread(nullptr, 0, ThreadMain, const_cast<std::function<void()>*>(&fn), 0,
                               nullptr);
  if (!thread) return false;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return true;
}

std::string TempFilePath(const std::string& name) {
  char dir[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof dir, dir);
  return std::string(dir, n) + "client_test_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}
