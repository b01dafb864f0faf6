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
// Calls of the form Get...(size, buffer) that report the size they need when asked with 0.
template <class Ch>
std::basic_string<Ch> ReadSizedText(DWORD(WINAPI* get)(DWORD, Ch*)) {
  DWORD needed = get(0, nullptr);
  if (needed == 0) return std::basic_string<Ch>();
  std::basic_string<Ch> text(needed, Ch());
  DWORD got = get(needed, &text[0]);
  if (got == 0 || got >= needed) return std::basic_string<Ch>();
  text.resize(got);
  return text;
}
}  // namespace

std::wstring CurrentDirectoryWide() { return ReadSizedText<wchar_t>(GetCurrentDirectoryW); }

std::wstring TempPathWide() { return ReadSizedText<wchar_t>(GetTempPathW); }
