// What the streaming kit writer needs from the operating system: files read and written at
// offsets, anonymous spill files, threads and one monitor to coordinate them. Implemented
// natively (POSIX) and for Windows beside the native packer's entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "services/systemerror.h"

namespace pack {

class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual uint64_t Size() const = 0;
  // Up to size bytes from the current position; got 0 at the end.
  virtual bool Read(uint8_t* buffer, size_t size, size_t& got, SystemError& error) = 0;
  // Exactly size bytes at offset.
  virtual bool ReadAt(uint64_t offset, uint8_t* buffer, size_t size, SystemError& error) = 0;
};

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool WriteAt(uint64_t offset, const uint8_t* data, size_t size, SystemError& error) = 0;
};

// A temporary file that nothing else sees and that is gone when it is destroyed. Appended to
// by one thread and read back by another at offsets already written.
class SpillFile {
 public:
  virtual ~SpillFile() = default;
  virtual bool Append(const uint8_t* data, size_t size, uint64_t& offset, SystemError& error) = 0;
  virtual bool ReadAt(uint64_t offset, uint8_t* buffer, size_t size, SystemError& error) = 0;
};

// A mutex with one condition.
class Monitor {
 public:
  virtual ~Monitor() = default;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  virtual void Wait() = 0;  // with the lock held
  virtual void NotifyAll() = 0;
};

class MonitorLock {
 public:
  explicit MonitorLock(Monitor& m) : m_(m) { m_.Lock(); }
  ~MonitorLock() { m_.Unlock(); }
  MonitorLock(const MonitorLock&) = delete;
  MonitorLock& operator=(const MonitorLock&) = delete;

 private:
  Monitor& m_;
};

class KitPlatform {
 public:
  virtual ~KitPlatform() = default;
  virtual std::unique_ptr<InputFile> OpenInput(const std::string& path, SystemError& error) = 0;
  virtual std::unique_ptr<SpillFile> CreateSpill(SystemError& error) = 0;
  virtual std::unique_ptr<Monitor> NewMonitor() = 0;
  // Runs body on a new thread; every thread started is joined by JoinThreads.
  virtual bool StartThread(std::function<void()> body, SystemError& error) = 0;
  virtual void JoinThreads() = 0;
  // Seconds on a steady clock, for the progress line.
  virtual double Now() = 0;
};

}  // namespace pack
