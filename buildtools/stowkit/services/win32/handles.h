// Owners of Win32 and C runtime handles: one move-only type per release function, each with
// its own invalid value.
#pragma once

#include <windows.h>

#include <cstdio>
#include <utility>


template <class T, class Traits>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : value_(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }
  T release() { return std::exchange(value_, Traits::Invalid()); }
  // Closes the held value; returns false when its release function reported failure.
  bool reset(T value = Traits::Invalid()) {
    bool ok = true;
    if (value_ != Traits::Invalid()) ok = Traits::Close(value_);
    value_ = value;
    return ok;
  }

 private:
  T value_ = Traits::Invalid();
};

struct HandleTraits {  // process, thread, mutex: null when absent
  static HANDLE Invalid() { return nullptr; }
  static bool Close(HANDLE h) { return CloseHandle(h) != 0; }
};
struct FileHandleTraits {  // CreateFile: INVALID_HANDLE_VALUE when absent
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return CloseHandle(h) != 0; }
};
struct FindHandleTraits {  // FindFirstFile
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return FindClose(h) != 0; }
};
struct StdioTraits {  // fopen
  static FILE* Invalid() { return nullptr; }
  static bool Close(FILE* f) { return fclose(f) == 0; }
};

using UniqueHandle = UniqueResource<HANDLE, HandleTraits>;
using UniqueFileHandle = UniqueResource<HANDLE, FileHandleTraits>;
using UniqueFindHandle = UniqueResource<HANDLE, FindHandleTraits>;
using UniqueStdioFile = UniqueResource<FILE*, StdioTraits>;

// Process information from CreateProcess: both handles closed together.
struct UniqueProcess {
  UniqueHandle process;
  UniqueHandle thread;
};
