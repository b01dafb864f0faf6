#include "trace.h"

#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>

#include "formatstring.h"
#include "platform.h"
#include "threadstate.h"

namespace {

constexpr uint32_t kLockTimeoutMs = 5000;
constexpr int kLocationWidth = 20;

// In a wide format the Windows runtime reads %s as a wide string; the C library wants %ls.
#ifdef _WIN32
#define TRACE_WIDE_S "s"
#else
#define TRACE_WIDE_S "ls"
#endif

template <class Ch>
struct Formats;
template <>
struct Formats<char> {
  static constexpr const char* location = "%-*s L%-4d - ";
  static constexpr const char* text = "%s";
  static constexpr const char* box = "%s\n%s";
  static constexpr const char* scope = "%3d %04X: %*s%s\n";
  static constexpr const char* stamp = ".%03d : %04X : ";
};
template <>
struct Formats<wchar_t> {
  static constexpr const wchar_t* location = L"%-*" TRACE_WIDE_S " L%-4d - ";
  static constexpr const wchar_t* text = L"%" TRACE_WIDE_S;
  static constexpr const wchar_t* box = L"%" TRACE_WIDE_S "\n%" TRACE_WIDE_S;
  static constexpr const wchar_t* scope = L"%3d %04X: %*" TRACE_WIDE_S "%" TRACE_WIDE_S "\n";
  static constexpr const wchar_t* stamp = L".%03d : %04X : ";
};

template <class Ch>
std::basic_string<Ch> Widen(const char* ascii) {
  std::basic_string<Ch> out;
  for (; *ascii; ++ascii) out.push_back(static_cast<Ch>(*ascii));
  return out;
}

template <class Ch>
size_t Length(const Ch* text) {
  return std::char_traits<Ch>::length(text);
}

template <class Ch>
Ch* CopyText(const Ch* text) {
  size_t n = Length(text);
  Ch* copy = new Ch[n + 1];
  std::char_traits<Ch>::copy(copy, text, n + 1);
  return copy;
}

// Process-wide state. Plain pointers, so that they are valid before any constructor runs and
// after every destructor has.
BasicTraceSink<char>* g_sinkNarrow = nullptr;
BasicTraceSink<wchar_t>* g_sinkWide = nullptr;
std::string* g_outputNarrow = nullptr;
std::wstring* g_outputWide = nullptr;
bool g_exitDone = false;

BasicTraceSink<char>*& SinkSlot(char) { return g_sinkNarrow; }
BasicTraceSink<wchar_t>*& SinkSlot(wchar_t) { return g_sinkWide; }
std::string*& OutputSlot(char) { return g_outputNarrow; }
std::wstring*& OutputSlot(wchar_t) { return g_outputWide; }

// The one output string of a width, shared by all sinks and kept until exit.
template <class Ch>
std::basic_string<Ch>& Output() {
  auto*& slot = OutputSlot(Ch());
  if (!slot) slot = new std::basic_string<Ch>();
  return *slot;
}

void TraceAtExit() {
  if (g_exitDone) return;
  g_exitDone = true;
  delete g_sinkNarrow;
  g_sinkNarrow = nullptr;
  delete g_sinkWide;
  g_sinkWide = nullptr;
  delete g_outputNarrow;
  g_outputNarrow = nullptr;
  delete g_outputWide;
  g_outputWide = nullptr;
}

// The start-up sink of a width is made when that width first asks for it, so that a program
// carries the sinks of the width it uses only.
struct TraceStartup {
  TraceStartup() { std::atexit(TraceAtExit); }
} g_traceStartup;

// "HH:MM:SS.mmm : 0A1C : " for the current time and thread.
template <class Ch>
std::basic_string<Ch> LinePrefix() {
  int64_t seconds = 0;
  int millis = 0;
  client_platform::CurrentTime(seconds, millis);
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  bool ok = localtime_s(&local, &t) == 0;
#else
  bool ok = localtime_r(&t, &local) != nullptr;
#endif
  // The time of day as the runtime's asctime text shows it (its characters 11 to 18).
  char hms[16] = "00:00:00";
  if (ok) {
    hms[0] = static_cast<char>('0' + local.tm_hour / 10);
    hms[1] = static_cast<char>('0' + local.tm_hour % 10);
    hms[3] = static_cast<char>('0' + local.tm_min / 10);
    hms[4] = static_cast<char>('0' + local.tm_min % 10);
    hms[6] = static_cast<char>('0' + local.tm_sec / 10 % 10);
    hms[7] = static_cast<char>('0' + local.tm_sec % 10);
  }
  return Widen<Ch>(hms) +
         FormatToString(Formats<Ch>::stamp, millis,
                        static_cast<unsigned>(client_platform::CurrentThreadId()));
}

}  // namespace

bool TraceScopesEnabled = false;

// ---- BasicTraceSink ----

template <class Ch>
BasicTraceSink<Ch>::~BasicTraceSink() = default;

template <class Ch>
bool BasicTraceSink<Ch>::Open() {
  return true;
}

template <class Ch>
void BasicTraceSink<Ch>::Close() {}

template <class Ch>
bool BasicTraceSink<Ch>::Lock() {
  return true;
}

template <class Ch>
void BasicTraceSink<Ch>::Unlock() {}

template <class Ch>
int BasicTraceSink<Ch>::Write(const Ch*) {
  return 0;
}

template <class Ch>
const Ch* BasicTraceSink<Ch>::Trace(const Ch* format, ...) {
  if (!Open()) return nullptr;
  if (!Lock()) return nullptr;
  // Whatever happens below (a wrap handler may throw), the lock is given back.
  struct Unlocker {
    BasicTraceSink* sink;
    ~Unlocker() { sink->Unlock(); }
  } unlocker{this};
  const Ch* result = nullptr;
  va_list args;
  va_start(args, format);
  try {
    std::basic_string<Ch> message = FormatToStringV(format, args);
    std::basic_string<Ch> prefix = LinePrefix<Ch>();
    std::basic_string<Ch>& out = Output<Ch>();
    out.clear();
    // Every line gets the prefix; a newline byte never occurs inside a double-byte character
    // (trail bytes start at 0x40), so a plain search is safe in the narrow build too.
    size_t start = 0;
    while (start < message.size()) {
      size_t newline = message.find(Ch('\n'), start);
      size_t end = newline == std::basic_string<Ch>::npos ? message.size() : newline + 1;
      out += prefix;
      out.append(message, start, end - start);
      start = end;
    }
    Write(out.c_str());
    result = out.c_str();
  } catch (const std::exception&) {
    // A message that cannot be formatted or stored is dropped, like one that cannot be locked.
    result = nullptr;
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  return result;
}

template <class Ch>
const Ch* BasicTraceSink<Ch>::TraceLocation(const Ch* fileName, int line) {
  return Trace(Formats<Ch>::location, kLocationWidth, fileName, line);
}

template <class Ch>
const Ch* BasicTraceSink<Ch>::TracePair(const Ch* format, const Ch* first, const Ch* second) {
  return Trace(format, first, second);
}

template <class Ch>
const Ch* BasicTraceSink<Ch>::TracePair(const Ch* format, long first, long second) {
  return Trace(format, first, second);
}

template <class Ch>
const Ch* BasicTraceSink<Ch>::TraceValue(const Ch* format, const Ch* value) {
  return Trace(format, value);
}

template <class Ch>
const Ch* BasicTraceSink<Ch>::TraceValue(const Ch* format, long value) {
  return Trace(format, value);
}

template <class Ch>
const Ch* BasicTraceSink<Ch>::TraceText(const Ch* text) {
  return Trace(Formats<Ch>::text, text);
}

// ---- BasicDebugTraceSink ----

template <class Ch>
BasicDebugTraceSink<Ch>::~BasicDebugTraceSink() {
  BasicDebugTraceSink::Close();
}

template <class Ch>
const Ch* BasicDebugTraceSink<Ch>::Name() {
  static const std::basic_string<Ch> name = Widen<Ch>("DEBUG");
  return name.c_str();
}

template <class Ch>
bool BasicDebugTraceSink<Ch>::Open() {
  if (!mutex_) mutex_ = client_platform::NewMutex();
  return mutex_ != nullptr;
}

template <class Ch>
void BasicDebugTraceSink<Ch>::Close() {
  client_platform::CloseMutex(mutex_);
  mutex_ = nullptr;
}

template <class Ch>
bool BasicDebugTraceSink<Ch>::Lock() {
  return client_platform::LockMutex(mutex_, kLockTimeoutMs);
}

template <class Ch>
void BasicDebugTraceSink<Ch>::Unlock() {
  client_platform::UnlockMutex(mutex_);
}

template <class Ch>
int BasicDebugTraceSink<Ch>::Write(const Ch* text) {
  client_platform::DebugOutput(text);
  return static_cast<int>(Length(text));
}

// ---- BasicFileTraceSink ----

template <class Ch>
BasicFileTraceSink<Ch>::BasicFileTraceSink(const Ch* path, const Ch* mode, uint32_t sizeLimit,
                                           BasicTraceWrapHandler<Ch>* wrapHandler)
    : path_(path ? path : std::basic_string<Ch>()),
      mode_(mode ? mode : std::basic_string<Ch>()),
      sizeLimit_(sizeLimit),
      wrapHandler_(wrapHandler) {
  name_ = Widen<Ch>("FILE {") + path_ + Widen<Ch>("} ") + mode_;
}

template <class Ch>
BasicFileTraceSink<Ch>::~BasicFileTraceSink() {
  BasicFileTraceSink::Close();
}

template <class Ch>
const Ch* BasicFileTraceSink<Ch>::Name() {
  return name_.c_str();
}

template <class Ch>
bool BasicFileTraceSink<Ch>::Open() {
  if (!mutex_) mutex_ = client_platform::NewMutex();
  if (!file_) {
    file_ = client_platform::OpenFile(path_.c_str(), mode_.c_str());
    if (!file_) return false;
  }
  return mutex_ != nullptr;
}

template <class Ch>
void BasicFileTraceSink<Ch>::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  client_platform::CloseMutex(mutex_);
  mutex_ = nullptr;
}

template <class Ch>
bool BasicFileTraceSink<Ch>::Lock() {
  return client_platform::LockMutex(mutex_, kLockTimeoutMs);
}

template <class Ch>
void BasicFileTraceSink<Ch>::Unlock() {
  client_platform::UnlockMutex(mutex_);
}

template <class Ch>
int BasicFileTraceSink<Ch>::Write(const Ch* text) {
  client_platform::DebugOutput(text);
  if (!file_) return 0;
  uint32_t count = client_platform::PutText(file_, text) ? static_cast<uint32_t>(Length(text)) : 0;
  std::fflush(file_);
  written_ += count;
  if (sizeLimit_ != 0 && written_ > sizeLimit_) {
    // Start again at the beginning; the older text beyond stays until overwritten.
    std::fseek(file_, 0, SEEK_SET);
    written_ = 0;
    if (wrapHandler_) wrapHandler_->OnWrap(*this);
  }
  return static_cast<int>(count);
}

// ---- BasicNullTraceSink ----

template <class Ch>
const Ch* BasicNullTraceSink<Ch>::Name() {
  static const std::basic_string<Ch> name = Widen<Ch>("NONE");
  return name.c_str();
}

template <class Ch>
const Ch* BasicNullTraceSink<Ch>::Trace(const Ch*, ...) {
  return nullptr;
}

// ---- BasicTraceScope ----

template <class Ch>
BasicTraceScope<Ch>::BasicTraceScope(const Ch* scopeName) {
  BasicTraceSink<Ch>* sink = CurrentTraceSink<Ch>();
  if (!TraceScopesEnabled || !sink || !scopeName) return;
  ClientThreadState* state = CurrentThreadState();
  if (!state) return;
  int depth = state->traceScopeDepth;
  state->traceScopeDepth = depth + 1;
  name_ = CopyText(scopeName);
  static const std::basic_string<Ch> marker = Widen<Ch>(">>");
  sink->Trace(Formats<Ch>::scope, static_cast<int>(client_platform::CurrentThreadId()),
              static_cast<unsigned>(depth), depth * 4, marker.c_str(), name_);
}

template <class Ch>
BasicTraceScope<Ch>::~BasicTraceScope() {
  BasicTraceSink<Ch>* sink = CurrentTraceSink<Ch>();
  ClientThreadState* state = name_ ? CurrentThreadState() : nullptr;
  if (TraceScopesEnabled && sink && state) {
    int depth = --state->traceScopeDepth;
    static const std::basic_string<Ch> marker = Widen<Ch>("<<");
    sink->Trace(Formats<Ch>::scope, static_cast<int>(client_platform::CurrentThreadId()),
                static_cast<unsigned>(depth), depth * 4, marker.c_str(), name_);
  }
  delete[] name_;
}

// ---- process-wide operations ----

template <class Ch>
BasicTraceSink<Ch>* CurrentTraceSink() {
  BasicTraceSink<Ch>*& slot = SinkSlot(Ch());
  if (!slot && !g_exitDone) slot = new BasicNullTraceSink<Ch>();
  return slot;
}

template <class Ch>
void SetTraceSink(BasicTraceSink<Ch>* sink) {
  BasicTraceSink<Ch>*& slot = SinkSlot(Ch());
  if (slot == sink) return;
  delete slot;
  slot = sink;
}

template <class Ch>
void EnableTraceEcho() {
  if (BasicTraceSink<Ch>* sink = CurrentTraceSink<Ch>()) sink->SetEcho(true);
}

template <class Ch>
void DisableTraceEcho() {
  if (BasicTraceSink<Ch>* sink = CurrentTraceSink<Ch>()) sink->SetEcho(false);
}

template <class Ch>
const Ch* TraceFileName(const Ch* path) {
  if (!path) return path;
  const Ch* name = path;
  for (const Ch* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  return name;
}

namespace {
template <class Ch>
void EchoText(const Ch* text) {
  BasicTraceSink<Ch>* sink = SinkSlot(Ch());
  if (sink && sink->EchoEnabled() && text) sink->TraceText(text);
}
template <class Ch>
void EchoBox(const Ch* caption, const Ch* text) {
  static const Ch empty[1] = {0};
  BasicTraceSink<Ch>* sink = SinkSlot(Ch());
  if (sink && sink->EchoEnabled()) {
    sink->Trace(Formats<Ch>::box, caption ? caption : empty, text ? text : empty);
  }
}
}  // namespace

void TraceEchoText(const char* text) { EchoText(text); }
void TraceEchoText(const wchar_t* text) { EchoText(text); }
void TraceEchoBox(const char* caption, const char* text) { EchoBox(caption, text); }
void TraceEchoBox(const wchar_t* caption, const wchar_t* text) { EchoBox(caption, text); }

#define INSTANTIATE_TRACE(Ch)                                  \
  template class BasicTraceSink<Ch>;                           \
  template class BasicDebugTraceSink<Ch>;                      \
  template class BasicFileTraceSink<Ch>;                       \
  template class BasicNullTraceSink<Ch>;                       \
  template class BasicTraceScope<Ch>;                          \
  template BasicTraceSink<Ch>* CurrentTraceSink<Ch>();         \
  template void SetTraceSink<Ch>(BasicTraceSink<Ch>*);         \
  template void EnableTraceEcho<Ch>();                         \
  template void DisableTraceEcho<Ch>();                        \
  template const Ch* TraceFileName<Ch>(const Ch*);

INSTANTIATE_TRACE(char)
INSTANTIATE_TRACE(wchar_t)
