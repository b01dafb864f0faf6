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
