// Capturing and formatting platform errors, and the ANSI code-page conversions both modes use.
#pragma once

#include <windows.h>

#include <string>

#include "services/systemerror.h"

// The system's text for an error code, without its final line end; empty when the system has
// none. Inserts are never expanded: some texts have "%1" places that nothing fills.
std::string SystemErrorText(DWORD code);
// GetLastError and its text. Call it right after the failing call.
SystemError CaptureSystemError();
// A captured error, for messages that carry the code of an earlier call.
SystemError SystemErrorFor(DWORD code);
// "0x%08X : %s" for a captured error.
std::string ErrorCodeAndText(const SystemError& error);

// UTF-16 from and to the ANSI code page (characters the code page lacks become its default
// character).
std::u16string AnsiToUtf16(const std::string& text);
std::string Utf16ToAnsi(const std::u16string& text);
