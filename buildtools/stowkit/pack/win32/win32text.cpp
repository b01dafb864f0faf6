// Error texts and code-page conversions.
#include <windows.h>

#include "formatstring.h"
#include "pack/win32/packwin32.h"

std::string SystemErrorText(DWORD code) {
  LPSTR buffer = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer != nullptr) {
    text.assign(buffer, length);
    if (text.size() >= 2 && text[text.size() - 2] == '\r') text.resize(text.size() - 2);
  }
  if (buffer != nullptr) LocalFree(buffer);
  return text;
}

SystemError CaptureSystemError() {
  SystemError error;
  error.code = GetLastError();
  error.text = SystemErrorText(error.code);
  return error;
}

std::string ErrorCodeAndText(const SystemError& error) {
  return FormatToString("0x%08X : %s", static_cast<unsigned>(error.code), error.text.c_str());
}

std::u16string AnsiToUtf16(const std::string& text) {
  if (text.empty()) return std::u16string();
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(length), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                      reinterpret_cast<wchar_t*>(&out[0]), length);
  return out;
}

std::string Utf16ToAnsi(const std::u16string& text) {
  if (text.empty()) return std::string();
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
  int length = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), &out[0], length, nullptr,
                      nullptr);
  return out;
}
