#include "formatstring.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <set>
#include <stdexcept>

#include "platform.h"
#include "threadstate.h"

namespace {

constexpr int kFirstScratchSize = 128;
constexpr int kMargin = 10;
// No message, path or log line comes near this; a text that still does not fit is a
// formatting error (the runtime reports those like a text that is too long).
constexpr int kMaxScratchSize = 1 << 25;

// Round of the registries: raised when they free all buffers at exit, so that a thread still
// holding a pointer to a freed buffer sees it as gone. Trivially destructible on purpose.
int g_epoch = 0;

// Every scratch buffer any thread holds, so that all of them are freed at process exit.
// Threads may format concurrently (the trace facility allows it), so changes take a spin lock;
// they happen only when a buffer grows.
template <class Ch>
class ScratchRegistry {
 public:
  ~ScratchRegistry() {
    Guard guard(lock_);
    for (void* p : buffers_) std::free(p);
    buffers_.clear();
    ++g_epoch;
    alive_ = false;
  }
  void Add(void* p) {
    Guard guard(lock_);
    if (alive_) buffers_.insert(p);
  }
  void Remove(void* p) {
    Guard guard(lock_);
    buffers_.erase(p);
  }

 private:
  struct Guard {
    explicit Guard(std::atomic_flag& f) : flag(f) {
      while (flag.test_and_set(std::memory_order_acquire)) {
      }
    }
    ~Guard() { flag.clear(std::memory_order_release); }
    std::atomic_flag& flag;
  };
  std::atomic_flag lock_ = ATOMIC_FLAG_INIT;
  bool alive_ = true;
  std::set<void*> buffers_;
};

template <class Ch>
ScratchRegistry<Ch>& Registry() {
  static ScratchRegistry<Ch> registry;
  return registry;
}

int& ScratchSize(ClientThreadState& s, char) { return s.scratchSizeNarrow; }
int& ScratchSize(ClientThreadState& s, wchar_t) { return s.scratchSizeWide; }
char*& Scratch(ClientThreadState& s, char) { return s.scratchNarrow; }
wchar_t*& Scratch(ClientThreadState& s, wchar_t) { return s.scratchWide; }

// The calling thread's state, with buffers of an earlier registry round forgotten.
ClientThreadState* FreshState() {
  ClientThreadState* state = CurrentThreadState();
  if (state && state->scratchEpoch != g_epoch) {
    state->scratchSizeNarrow = 0;
    state->scratchNarrow = nullptr;
    state->scratchSizeWide = 0;
    state->scratchWide = nullptr;
    state->scratchEpoch = g_epoch;
  }
  return state;
}

template <class Ch>
std::basic_string<Ch> FormatWith(const Ch* format, va_list args) {
  auto& registry = Registry<Ch>();
  ClientThreadState* state = FreshState();
  if (!state) throw std::bad_alloc();
  int& size = ScratchSize(*state, Ch());
  Ch*& buffer = Scratch(*state, Ch());
  if (size == 0) {
    buffer = static_cast<Ch*>(std::malloc(kFirstScratchSize * sizeof(Ch)));
    if (!buffer) throw std::bad_alloc();
    size = kFirstScratchSize;
    registry.Add(buffer);
  }
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    int r = client_platform::FormatBounded(buffer, static_cast<size_t>(size - 1), format, copy);
    va_end(copy);
    if (r >= 0 && r <= size - kMargin) {
      buffer[r] = 0;
      return std::basic_string<Ch>(buffer);  // up to the first NUL, as a C text would end
    }
    if (size >= kMaxScratchSize) throw std::length_error("text cannot be formatted");
    int doubled = size * 2;
    registry.Remove(buffer);
    std::free(buffer);
    buffer = static_cast<Ch*>(std::malloc(static_cast<size_t>(doubled) * sizeof(Ch)));
    if (!buffer) {
      size = 0;
      throw std::bad_alloc();
    }
    size = doubled;
    registry.Add(buffer);
  }
}

template <class Ch>
int CurrentScratchSize() {
  ClientThreadState* state = FreshState();
  return state ? ScratchSize(*state, Ch()) : 0;
}

}  // namespace

std::string FormatToStringV(const char* format, va_list args) { return FormatWith(format, args); }
std::wstring FormatToStringV(const wchar_t* format, va_list args) { return FormatWith(format, args); }

std::string FormatToString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result;
  try {
    result = FormatWith(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  return result;
}

std::wstring FormatToString(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring result;
  try {
    result = FormatWith(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  return result;
}

int FormatScratchSize(char) { return CurrentScratchSize<char>(); }
int FormatScratchSize(wchar_t) { return CurrentScratchSize<wchar_t>(); }
