#include "services/win32/codepage.h"

#include <windows.h>

#include "platform.h"

namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = static_cast<int>(text.size());
  int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), length, &wide[0], needed);
  return wide;
}

std::string FromWide(UINT codePage, const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = static_cast<int>(text.size());
  int needed = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string narrow(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), length, &narrow[0], needed, nullptr, nullptr);
  return narrow;
}

}  // namespace

std::u16string AnsiToUtf16(const std::string& text) {
  std::wstring wide = client_platform::AnsiToWide(text);
  return std::u16string(wide.begin(), wide.end());
}

std::string Utf16ToAnsi(const std::u16string& text) {
  return client_platform::WideToAnsi(std::wstring(text.begin(), text.end()));
}

std::wstring WideFromUtf8(const std::string& text) { return ToWide(CP_UTF8, text); }

std::string Utf8FromWide(const std::wstring& text) { return FromWide(CP_UTF8, text); }

std::string Utf8FromAnsi(const std::string& text) {
  return Utf8FromWide(client_platform::AnsiToWide(text));
}

std::string AnsiFromUtf8(const std::string& text) {
  return client_platform::WideToAnsi(WideFromUtf8(text));
}
