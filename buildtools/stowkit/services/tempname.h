// Choosing names for temporary files: the directory, the per-process prefix and a sequence
// number that never repeats within the process. The file-system probes are passed in, so the
// Win32 side supplies the real ones and the unit tests their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// What trying to take one name found.
enum class NameClaim {
  kClaimed,  // the name is now ours (its file was created)
  kTaken,    // something has that name already: try the next number
  kRefused,  // the directory cannot hold new files (no access, gone): no number will do
};

struct TempNameProbes {
  // True when path names an existing directory.
  std::function<bool(const std::string& path)> isDirectory;
  std::function<NameClaim(const std::string& path)> claim;
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
  // Claims the first free "<directory>\<prefix><n>", n continuing after the last number tried.
  // Empty when directory and prefix are too long, when the directory refuses a new file, or
  // when kTempNameAttempts numbers are all taken.
  std::string NextName(const std::string& directory, const std::string& prefix,
                       const TempNameProbes& probes);
  uint32_t NextNumber() const { return next_; }

 private:
  uint32_t next_ = kTempNameFirstNumber;
};
