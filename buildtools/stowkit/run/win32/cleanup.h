// Removal of what the kit unpacked.
#pragma once

#include <string>

namespace run {

// Deletes everything below directory (not the directory itself), logging every deletion, at
// any path length and with any characters; links and junctions are removed as links, never
// followed. Returns the number of files and directories deleted.
int DeleteDirectoryTree(const std::wstring& directory);

// Empties and removes the working directory and returns to startDir, showing what fails.
// After the installer, pause first: processes it started may still let go of files.
void CleanUpWorkingDirectory(const std::wstring& workDir, const std::wstring& startDir, bool pause);

}  // namespace run
