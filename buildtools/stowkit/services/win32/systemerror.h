// Capturing and formatting platform errors.
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
