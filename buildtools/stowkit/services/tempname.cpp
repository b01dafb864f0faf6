#include "services/tempname.h"

#include "formatstring.h"

namespace {
bool Present(const char* text) { return text && *text; }
}  // namespace

std::string TempNamePrefix(uint32_t startTime) {
  return FormatToString("_stowkit_tmp%08X.", static_cast<unsigned>(startTime));
}

std::string ChooseTempDirectory(const char* tmpVar, const char* given, const std::string& fallback,
                                const TempNameProbes& probes) {
  if (Present(tmpVar) && probes.isDirectory(tmpVar)) return tmpVar;
  if (Present(given) && probes.isDirectory(given)) return given;
  return fallback;
}

std::string TempNameSequence::NextName(const std::string& directory, const std::string& prefix,
                                       const TempNameProbes& probes) {
  if (directory.size() + prefix.size() > kTempNameDirAndPrefixLimit) return std::string();
  std::string stem = directory;
  if (!stem.empty() && stem.back() != '\\' && stem.back() != '/') stem.push_back('\\');
  if (stem.empty()) stem = ".\\";
  stem += prefix;
  for (uint32_t attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    uint32_t n = next_++;
    if (next_ == 0) next_ = 1;  // after four thousand million names, start again at 1
    std::string name = stem + FormatToString("%u", static_cast<unsigned>(n));
    switch (probes.claim(name)) {
      case NameClaim::kClaimed: return name;
      case NameClaim::kTaken: break;
      case NameClaim::kRefused: return std::string();
    }
  }
  return std::string();
}
