// Win32 implementation of the shared client library's platform services.
#include <windows.h>

#include <sys/timeb.h>

#include <cstdio>
#include <cwchar>

#include "../platform.h"

namespace client_platform {

const char* ProcessCommandLine(char) { return GetCommandLineA(); }
const wchar_t* ProcessCommandLine(wchar_t) { return GetCommandLineW(); }

uint32_t LastError() { return GetLastError(); }
void SetLastError(uint32_t code) { ::SetLastError(code); }

namespace {
template <class Ch>
void StripLineEnds(std::basic_string<Ch>& t) {
  while (!t.empty() && (t.back() == '\r' || t.back() == '\n')) t.pop_back();
}

// One formatter for every system text: the system allocates what the text needs, and inserts
// ("%1" places that nothing would fill) are never expanded.
template <class Ch, class Format>
std::basic_string<Ch> FormatSystemText(uint32_t code, Format format) {
  Ch* buffer = nullptr;
  DWORD length = format(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                            FORMAT_MESSAGE_IGNORE_INSERTS,
                        nullptr, code, 0, reinterpret_cast<Ch*>(&buffer), 0, nullptr);
  std::basic_string<Ch> text;
  if (length != 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  StripLineEnds(text);
  return text;
}
}  // namespace

std::string ErrorText(uint32_t code, char) { return FormatSystemText<char>(code, FormatMessageA); }

std::wstring ErrorText(uint32_t code, wchar_t) {
  return FormatSystemText<wchar_t>(code, FormatMessageW);
}

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = static_cast<int>(text.size());
  int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, &wide[0], needed);
  return wide;
}

std::string WideToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = static_cast<int>(text.size());
  int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string narrow(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &narrow[0], needed, nullptr, nullptr);
  return narrow;
}

int ShowMessageBox(const char* text, const char* caption, unsigned style) {
  return MessageBoxA(nullptr, text, caption, style);
}
int ShowMessageBox(const wchar_t* text, const wchar_t* caption, unsigned style) {
  return MessageBoxW(nullptr, text, caption, style);
}

void DebugOutput(const char* text) { OutputDebugStringA(text); }
void DebugOutput(const wchar_t* text) { OutputDebugStringW(text); }

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

void RestrictDllSearchToSystem() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return;
  auto fn = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (fn) fn(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
}

int FormatBounded(char* buf, size_t count, const char* format, va_list args) {
  return _vsnprintf(buf, count, format, args);
}
int FormatBounded(wchar_t* buf, size_t count, const wchar_t* format, va_list args) {
  return _vsnwprintf(buf, count, format, args);
}

struct Mutex {
  HANDLE handle;
};
// Win32 mutexes may be taken again by the thread that owns them (a wrap handler may trace).
Mutex* NewMutex() {
  HANDLE h = CreateMutexA(nullptr, FALSE, nullptr);
  return h ? new Mutex{h} : nullptr;
}
void CloseMutex(Mutex* mutex) {
  if (!mutex) return;
  CloseHandle(mutex->handle);
  delete mutex;
}
bool LockMutex(Mutex* mutex, uint32_t timeoutMs) {
  if (!mutex) return true;  // as a wait on no handle: failed, which counts as locked
  // A failed or abandoned wait still counts as locked; only a time-out drops the message.
  return WaitForSingleObject(mutex->handle, timeoutMs) != WAIT_TIMEOUT;
}
void UnlockMutex(Mutex* mutex) {
  if (mutex) ReleaseMutex(mutex->handle);
}

void CurrentTime(int64_t& seconds, int& milliseconds) {
  struct __timeb64 now;
  _ftime64(&now);
  seconds = now.time;
  milliseconds = now.millitm;
}

std::FILE* OpenFile(const char* path, const char* mode) { return std::fopen(path, mode); }
std::FILE* OpenFile(const wchar_t* path, const wchar_t* mode) { return _wfopen(path, mode); }
bool PutText(std::FILE* file, const char* text) { return std::fputs(text, file) >= 0; }
bool PutText(std::FILE* file, const wchar_t* text) { return std::fputws(text, file) >= 0; }

long AllocTlsSlot() {
  DWORD slot = TlsAlloc();
  return slot == TLS_OUT_OF_INDEXES ? -1 : static_cast<long>(slot);
}
void* GetTlsValue(long slot) { return TlsGetValue(static_cast<DWORD>(slot)); }
bool SetTlsValue(long slot, void* value) { return TlsSetValue(static_cast<DWORD>(slot), value) != 0; }

}  // namespace client_platform
