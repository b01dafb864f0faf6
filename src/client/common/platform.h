// The few operating-system services the shared client library needs, behind one interface.
//
// win32/platform_win32.cpp implements them with the Win32 API (the only file of the library
// that includes <windows.h>); native/platform_native.cpp implements them for the native unit
// tests, with the test hooks of native/platform_testing.h.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace client_platform {

// The process command line, as GetCommandLineA / GetCommandLineW return it.
const char* ProcessCommandLine(char);
const wchar_t* ProcessCommandLine(wchar_t);

// GetLastError / SetLastError.
uint32_t LastError();
void SetLastError(uint32_t code);

// The system's message text for an error code, without trailing CR/LF characters;
// empty when the system has none.
std::string ErrorText(uint32_t code, char);
std::wstring ErrorText(uint32_t code, wchar_t);

// Conversions between the two widths, always through the system's ANSI code page
// (CP_ACP); characters the code page lacks become its default character. Natively the code
// page is ISO 8859-1 with '?' as default character.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

// MessageBoxA / MessageBoxW without an owner window; returns the button pressed.
int ShowMessageBox(const char* text, const char* caption, unsigned style);
int ShowMessageBox(const wchar_t* text, const wchar_t* caption, unsigned style);

// OutputDebugStringA / OutputDebugStringW.
void DebugOutput(const char* text);
void DebugOutput(const wchar_t* text);

uint32_t CurrentThreadId();

// Allows later DLL loads only from the system directory where the platform offers it
// (SetDefaultDllDirectories, looked up at run time for old systems), so that a DLL planted
// next to a program in a download or unpack folder is never loaded. Both programs call it first.
void RestrictDllSearchToSystem();

// Bounded printf into buf, with the C runtime's _vsnprintf contract on every platform: at most
// count characters are written; a terminating NUL follows only when the text is shorter than
// count. Returns the formatted length when it fits in count characters, otherwise (or on a
// formatting error) a negative value.
int FormatBounded(char* buf, size_t count, const char* format, va_list args);
int FormatBounded(wchar_t* buf, size_t count, const wchar_t* format, va_list args);

// A process-local mutex (CreateMutex, unnamed, not initially owned).
struct Mutex;
Mutex* NewMutex();
void CloseMutex(Mutex* mutex);
// Waits at most timeoutMs; returns false only when the wait timed out.
bool LockMutex(Mutex* mutex, uint32_t timeoutMs);
void UnlockMutex(Mutex* mutex);

// One thread-local-storage slot (TlsAlloc / TlsGetValue / TlsSetValue).
// AllocTlsSlot returns a negative value when no slot is available.
long AllocTlsSlot();
void* GetTlsValue(long slot);
bool SetTlsValue(long slot, void* value);

// The current time with millisecond resolution (_ftime): seconds since 1970 and milliseconds.
void CurrentTime(int64_t& seconds, int& milliseconds);

// fopen / _wfopen, and fputs / fputws (true when the write succeeded).
std::FILE* OpenFile(const char* path, const char* mode);
std::FILE* OpenFile(const wchar_t* path, const wchar_t* mode);
bool PutText(std::FILE* file, const char* text);
bool PutText(std::FILE* file, const wchar_t* text);

}  // namespace client_platform
