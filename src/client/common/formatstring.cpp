#include "formatstring.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <set>

#include "platform.h"
#include "threadstate.h"

namespace {

constexpr int kFirstScratchSize = 128;
constexpr int kMargin = 10;

// Every scratch buffer any thread holds, so that all of them are freed at process exit.
template <class Ch>
class ScratchRegistry {
 public:
  ~ScratchRegistry() {
    for (void* p : buffers_) std::free(p);
  }
  void Add(void* p) { buffers_.insert(p); }
  void Remove(void* p) { buffers_.erase(p); }

 private:
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

template <class Ch>
std::basic_string<Ch> FormatWith(const Ch* format, va_list args) {
  auto& registry = Registry<Ch>();
  ClientThreadState* state = CurrentThreadState();
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
      return std::basic_string<Ch>(buffer, static_cast<size_t>(r));
    }
    int doubled = size * 2;
    if (doubled <= size) throw std::bad_alloc();  // the text cannot be represented
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
  ClientThreadState* state = CurrentThreadState();
  return state ? ScratchSize(*state, Ch()) : 0;
}

}  // namespace

std::string FormatToStringV(const char* format, va_list args) { return FormatWith(format, args); }
std::wstring FormatToStringV(const wchar_t* format, va_list args) { return FormatWith(format, args); }

std::string FormatToString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result = FormatWith(format, args);
  va_end(args);
  return result;
}

std::wstring FormatToString(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring result = FormatWith(format, args);
  va_end(args);
  return result;
}

int FormatScratchSize(char) { return CurrentScratchSize<char>(); }
int FormatScratchSize(wchar_t) { return CurrentScratchSize<wchar_t>(); }
