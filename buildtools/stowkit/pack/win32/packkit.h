// Pack mode of stowkitwin.
#pragma once

#include <windows.h>

#include "commandline.h"

namespace pack {

// Builds a kit from the pack-mode command line; the cursor stands on the -create argument.
// Returns the process exit status (0, 1, 2; 32, 64 and 66 end the process directly).
int PackKit(HINSTANCE instance, BasicCommandLineCursor<char>& cursor, const char* moduleBaseName);

}  // namespace pack
