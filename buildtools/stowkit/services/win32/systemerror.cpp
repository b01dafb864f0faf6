#include "services/win32/systemerror.h"

#include "formatstring.h"
#include "platform.h"

std::string SystemErrorText(DWORD code) { return client_platform::ErrorText(code, char()); }

SystemError CaptureSystemError() { return SystemErrorFor(GetLastError()); }

SystemError SystemErrorFor(DWORD code) {
  SystemError error;
  error.code = code;
  error.text = SystemErrorText(code);
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
