// Run mode of stowkitwin: the kit unpacks itself, runs its installer and cleans up.
#pragma once

#include <windows.h>

namespace run {

// Returns the process exit status: 1 when a step before the installer fails or the kit is
// damaged, 32 when no temporary name can be had, otherwise the installer's status (0 when the
// control file names no command).
int RunKit(HINSTANCE instance, const char* moduleBaseName);

}  // namespace run
