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

namespace {
// Calls of the form Get...A(size, buffer) that report the size they need when asked with 0.
std::string ReadSizedText(DWORD(WINAPI* get)(DWORD, LPSTR)) {
  DWORD needed = get(0, nullptr);
  if (needed == 0) return std::string();
  std::string text(needed, '\0');
  DWORD got = get(needed, &text[0]);
  if (got == 0 || got >= needed) return std::string();
  text.resize(got);
  return text;
}
}  // namespace

std::string CurrentDirectory() { return ReadSizedText(GetCurrentDirectoryA); }

std::string TempPath() { return ReadSizedText(GetTempPathA); }
