// Error texts and code-page conversions.
#include <windows.h>

#include "formatstring.h"
#include "pack/win32/packwin32.h"
#include "platform.h"

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
  std::wstring wide = client_platform::AnsiToWide(text);
  return std::u16string(wide.begin(), wide.end());
}

std::string Utf16ToAnsi(const std::u16string& text) {
  return client_platform::WideToAnsi(std::wstring(text.begin(), text.end()));
}
