// Run mode of stowkitwin: the kit unpacks itself, runs its installer and cleans up.
#pragma once

#include <windows.h>

// Returns the process exit status: 1 when a step before the installer fails, otherwise the
// installer's status (0 when the control file names no command).
int RunKit(HINSTANCE instance, const char* moduleBaseName);
