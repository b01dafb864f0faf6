// The Win32 services natively: for the native packer (its command line, threads, time) and,
// through the hooks of platform_testing.h, for the unit tests on Linux.
#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <vector>

#include "../platform.h"
#include "platform_native.h"
#include "platform_testing.h"

namespace client_platform {
namespace {
std::string g_commandLineA;
std::wstring g_commandLineW;
thread_local uint32_t g_lastError = 0;
std::map<uint32_t, std::string> g_errorTexts;
uint32_t g_threadId = 0x0A1C;
std::vector<testing::RecordedBox> g_boxes;
std::vector<std::wstring> g_debug;
bool g_clockFixed = false;
int64_t g_clockSeconds = 0;
int g_clockMillis = 0;

std::wstring Widen(const char* s) {
  std::wstring w;
  for (; *s; ++s) w.push_back(static_cast<unsigned char>(*s));
  return w;
}
std::string StripLineEnds(std::string t) {
  while (!t.empty() && (t.back() == '\r' || t.back() == '\n')) t.pop_back();
  return t;
}
}  // namespace

void SetNativeCommandLine(const std::string& text) { g_commandLineA = text; }

namespace testing {
void SetProcessCommandLine(const std::string& text) { SetNativeCommandLine(text); }
void SetProcessCommandLine(const std::wstring& text) { g_commandLineW = text; }
void SetErrorText(uint32_t code, const std::string& text) { g_errorTexts[code] = text; }
void SetThreadId(uint32_t id) { g_threadId = id; }
void SetClock(int64_t seconds, int milliseconds) {
  g_clockFixed = true;
  g_clockSeconds = seconds;
  g_clockMillis = milliseconds;
}
std::vector<RecordedBox>& MessageBoxes() { return g_boxes; }
std::vector<std::wstring>& DebugOutputs() { return g_debug; }
void Reset() {
  g_commandLineA.clear();
  g_commandLineW.clear();
  g_errorTexts.clear();
  g_boxes.clear();
  g_debug.clear();
  g_lastError = 0;
  g_threadId = 0x0A1C;
  g_clockFixed = false;
}
}  // namespace testing

const char* ProcessCommandLine(char) { return g_commandLineA.c_str(); }
const wchar_t* ProcessCommandLine(wchar_t) { return g_commandLineW.c_str(); }

uint32_t LastError() { return g_lastError; }
void SetLastError(uint32_t code) { g_lastError = code; }

std::string ErrorText(uint32_t code, char) {
  auto it = g_errorTexts.find(code);
  return it == g_errorTexts.end() ? std::string() : StripLineEnds(it->second);
}
std::wstring ErrorText(uint32_t code, wchar_t) { return Widen(ErrorText(code, char()).c_str()); }

int ShowMessageBox(const char* text, const char* caption, unsigned style) {
  g_boxes.push_back({Widen(text), Widen(caption), style});
  return 1;
}
int ShowMessageBox(const wchar_t* text, const wchar_t* caption, unsigned style) {
  g_boxes.push_back({text, caption, style});
  return 1;
}

void DebugOutput(const char* text) { g_debug.push_back(Widen(text)); }
void DebugOutput(const wchar_t* text) { g_debug.push_back(text); }

uint32_t CurrentThreadId() { return g_threadId; }

void RestrictDllSearchToSystem() {}

std::wstring AnsiToWide(const std::string& text) {
  std::wstring wide;
  for (unsigned char c : text) wide.push_back(c);
  return wide;
}

std::string WideToAnsi(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow.push_back(c >= 0 && c <= 0xFF ? static_cast<char>(c) : '?');
  return narrow;
}

namespace {
// Copies a formatted text of length n into buf as _vsnprintf would leave it.
template <class Ch>
int Deliver(Ch* buf, size_t count, const Ch* text, size_t n) {
  std::char_traits<Ch>::copy(buf, text, n < count ? n : count);
  if (n < count) buf[n] = 0;
  return n <= count ? static_cast<int>(n) : -1;
}
}  // namespace

// The C library's vsnprintf always terminates and reports the full length; the Windows
// runtime's _vsnprintf does neither. The tests run on this emulation of the latter.
int FormatBounded(char* buf, size_t count, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n < 0) return -1;
  std::vector<char> text(static_cast<size_t>(n) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  return Deliver(buf, count, text.data(), static_cast<size_t>(n));
}

int FormatBounded(wchar_t* buf, size_t count, const wchar_t* format, va_list args) {
  // vswprintf cannot measure, and fails alike for "too small" and for a conversion error;
  // a generous cap tells the two apart.
  size_t size = count + 1 < 128 ? 128 : count + 1;
  for (;;) {
    std::vector<wchar_t> text(size);
    va_list copy;
    va_copy(copy, args);
    int n = std::vswprintf(text.data(), size, format, copy);
    va_end(copy);
    if (n >= 0) return Deliver(buf, count, text.data(), static_cast<size_t>(n));
    if (size > (size_t{1} << 26)) return -1;
    size *= 2;
  }
}

void CurrentTime(int64_t& seconds, int& milliseconds) {
  if (g_clockFixed) {
    seconds = g_clockSeconds;
    milliseconds = g_clockMillis;
    return;
  }
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  seconds = ms / 1000;
  milliseconds = static_cast<int>(ms % 1000);
}

std::FILE* OpenFile(const char* path, const char* mode) { return std::fopen(path, mode); }
std::FILE* OpenFile(const wchar_t* path, const wchar_t* mode) {
  // Test paths are ASCII; anything else is refused rather than guessed at.
  std::string narrowPath, narrowMode;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p <= 0 || *p >= 0x80) {
      errno = EILSEQ;
      return nullptr;
    }
    narrowPath.push_back(static_cast<char>(*p));
  }
  for (const wchar_t* p = mode; *p; ++p) narrowMode.push_back(static_cast<char>(*p));
  return std::fopen(narrowPath.c_str(), narrowMode.c_str());
}
bool PutText(std::FILE* file, const char* text) { return std::fputs(text, file) >= 0; }
bool PutText(std::FILE* file, const wchar_t* text) { return std::fputws(text, file) >= 0; }

// Recursive, as a Win32 mutex is for the thread that owns it.
struct Mutex {
  std::recursive_timed_mutex m;
};
Mutex* NewMutex() { return new Mutex(); }
void CloseMutex(Mutex* mutex) { delete mutex; }
bool LockMutex(Mutex* mutex, uint32_t timeoutMs) {
  if (!mutex) return true;
  return mutex->m.try_lock_for(std::chrono::milliseconds(timeoutMs));
}
void UnlockMutex(Mutex* mutex) {
  if (mutex) mutex->m.unlock();
}

long AllocTlsSlot() {
  pthread_key_t key;
  if (pthread_key_create(&key, nullptr) != 0) return -1;
  return static_cast<long>(key);
}
void* GetTlsValue(long slot) { return pthread_getspecific(static_cast<pthread_key_t>(slot)); }
bool SetTlsValue(long slot, void* value) {
  return pthread_setspecific(static_cast<pthread_key_t>(slot), value) == 0;
}

}  // namespace client_platform
