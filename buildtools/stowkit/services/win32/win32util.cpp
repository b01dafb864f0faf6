#include "services/win32/win32util.h"

#include <vector>

std::string ModuleFileName(HMODULE module) {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    // A result that fills the buffer may have been cut: try again with more room.
    if (n < buffer.size() - 1) return std::string(buffer.data(), n);
    if (buffer.size() > 32768 * 4) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string CurrentDirectory() {
  DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return std::string();
  std::string dir(needed, '\0');
  DWORD got = GetCurrentDirectoryA(needed, &dir[0]);
  if (got == 0 || got >= needed) return std::string();
  dir.resize(got);
  return dir;
}
