// Choosing names for temporary files: the directory, the per-process prefix and a sequence
// number that never repeats within the process. The file-system probes are passed in, so the
// Win32 side supplies the real ones and the unit tests their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct TempNameProbes {
  // True when path names an existing directory.
  std::function<bool(const std::string& path)> isDirectory;
  // True when path names something that exists (or cannot be ruled out).
  std::function<bool(const std::string& path)> exists;
};

// Longest directory-plus-prefix for which a name is still made: with a separator, up to ten
// digits and the terminating zero the name fits in 260 characters.
constexpr size_t kTempNameDirAndPrefixLimit = 248;
// Numbers one request tries before it gives up.
constexpr uint32_t kTempNameAttempts = 32767;
// First sequence number of a process.
constexpr uint32_t kTempNameFirstNumber = 2;

// "_stowkit_tmp%08X." for the process start time (seconds since 1970).
std::string TempNamePrefix(uint32_t startTime);

// The directory for temporary names: tmpVar (the TMP variable) when it names an existing
// directory, else given (the caller's choice, the TEMP variable) when it exists, else fallback.
// Null or empty texts count as absent.
std::string ChooseTempDirectory(const char* tmpVar, const char* given, const std::string& fallback,
                                const TempNameProbes& probes);

// The process-wide sequence of numbered names.
class TempNameSequence {
 public:
  // The first "<directory>\<prefix><n>" that names nothing existing, n continuing after the
  // last number tried. Empty when directory and prefix are too long or kTempNameAttempts
  // numbers are all taken.
  std::string NextName(const std::string& directory, const std::string& prefix,
                       const TempNameProbes& probes);
  uint32_t NextNumber() const { return next_; }

 private:
  uint32_t next_ = kTempNameFirstNumber;
};
