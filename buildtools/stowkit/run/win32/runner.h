// Win32 services of run mode: the runner's process-wide state, the install log, its messages,
// the kit's resources, decompression, the installer launch and the clean-up.
#pragma once

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include <zlib.h>

struct RunnerState {
  HINSTANCE instance = nullptr;  // the module whose resources hold the kit
  std::string messageTitle;      // module base name, then the control file's DESCRIPTION
  std::string logPath;           // absolute; set once before the first line
  int debug = -1;                // -1 until IsDebugOn first looks
  std::unique_ptr<unsigned char[]> resource;  // shared by every LoadKitResource
  size_t resourceCapacity = 0;
};
RunnerState& Runner();

// Appends text unchanged to the install log (opened and closed for each text, so every line
// is on disk before the next step). Silent when the log cannot be opened.
void WriteInstallLog(const std::string& text);

// WriteInstallLog, and the same text to the debugger output when the debug switch is on.
void LogLine(const std::string& text);

// Task-modal warning box (0x2030) captioned with the message title.
void ShowRunnerMessage(const std::string& text);

// The debug switch; the first call removes every debug switch from the command line.
bool IsDebugOn();

// The resource's bytes followed by 6 zero bytes, valid until the next call; size is set to its
// byte count. Null (size -1) when it is missing or cannot be loaded.
const unsigned char* LoadKitResource(const std::string& name, const std::string& type,
                                     long long& size);

// Copies the gzip stream (or plain data, which zlib passes through) to out in blocks of
// 16384 bytes, then closes both. Read errors, short writes and failed closes end the process.
void GunzipToFile(gzFile in, FILE* out);

// Writes bytes to a new (or truncated) file; false when any part of it failed.
bool WriteBytesToFile(const std::string& path, const unsigned char* data, size_t size);

// Deletes everything below directory (not the directory itself), logging every deletion;
// returns the number of files and directories deleted.
int DeleteDirectoryTree(const std::string& directory);

// After the installer: pause, empty and remove the working directory, return to startDir.
void CleanUpWorkingDirectory(const std::string& workDir, const std::string& startDir);

// Starts command in workDir, waits and returns its exit code. Raises a CClientException
// (shown first) when it cannot start, or when fatal is set and it ends with a non-zero code.
int LaunchInstaller(const std::string& workDir, const std::string& applicationName,
                    const std::string& command, bool fatal);

// Sets INSTALL_LOGFILE, then runs commandLine through the command interpreter or, when that
// is empty, winCmdLine as a process; 0 when both are empty.
int RunInstaller(const std::string& workDir, const std::string& commandLine,
                 const std::string& winCmdLine, bool fatal);
