// Small Win32 services shared by pack and run mode.
#pragma once

#include <windows.h>

#include <string>

// Full path of a module (GetModuleFileNameA), however long: the buffer grows until it fits.
// Empty on failure.
std::string ModuleFileName(HMODULE module);

// Allows later DLL loads only from the system directory where the platform offers it
// (SetDefaultDllDirectories, looked up at run time), so that a DLL planted next to a kit in a
// download folder is never loaded.
void RestrictDllSearchToSystem();
