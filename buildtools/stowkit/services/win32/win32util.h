// Small Win32 services shared by pack and run mode.
#pragma once

#include <windows.h>

#include <string>

// Full path of a module (GetModuleFileNameA), however long: the buffer grows until it fits.
// Empty on failure.
std::string ModuleFileName(HMODULE module);

// The current directory, however long; empty on failure.
std::wstring CurrentDirectoryWide();

// The system's temporary path with its trailing backslash, however long; empty on failure.
std::wstring TempPathWide();

