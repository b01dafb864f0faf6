#include "win32/ansi.h"

#include <windows.h>

namespace secpick {

// Lines are at most a few thousand characters, so int lengths hold them.
std::wstring AnsiCodePage::ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = static_cast<int>(text.size());
  int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, &wide[0], needed);
  return wide;
}

std::string AnsiCodePage::ToNarrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = static_cast<int>(text.size());
  int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string narrow(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &narrow[0], needed, nullptr, nullptr);
  return narrow;
}

}  // namespace secpick
