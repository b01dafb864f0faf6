// Native stand-in for the Win32 services, used by the unit tests on Linux.
#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <map>
#include <mutex>

#include "../platform.h"
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

namespace testing {
void SetProcessCommandLine(const std::string& text) { g_commandLineA = text; }
void SetProcessCommandLine(const std::wstring& text) { g_commandLineW = text; }
void SetErrorText(uint32_t code, const std::string& text) { g_errorTexts[code] = text; }
void SetThreadId(uint32_t id) { g_threadId = id; }
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

int FormatBounded(char* buf, size_t count, const char* format, va_list args) {
  return std::vsnprintf(buf, count, format, args);
}
int FormatBounded(wchar_t* buf, size_t count, const wchar_t* format, va_list args) {
  // vswprintf reports -1 when the text does not fit, as the Windows runtime does.
  return std::vswprintf(buf, count, format, args);
}

struct Mutex {
  std::timed_mutex m;
};
Mutex* NewMutex() { return new Mutex(); }
void CloseMutex(Mutex* mutex) { delete mutex; }
bool LockMutex(Mutex* mutex, uint32_t timeoutMs) {
  return mutex->m.try_lock_for(std::chrono::milliseconds(timeoutMs));
}
void UnlockMutex(Mutex* mutex) { mutex->m.unlock(); }

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
