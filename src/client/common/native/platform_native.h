// What a native program tells the native platform layer: its command line, as one text in the
// form the Windows C runtime parses (a POSIX program joins its arguments into it first).
#pragma once

#include <string>

namespace client_platform {

void SetNativeCommandLine(const std::string& text);

}  // namespace client_platform
