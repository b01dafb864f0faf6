#include "pack/kitlimit.h"

#include "formatstring.h"

namespace pack {

std::string KitTooLargeText(const KitBudget& budget, uint64_t bytes, const std::string& what) {
  // Whole megabytes, rounded up, so that a small overshoot never reads as "0 MB".
  auto mb = [](uint64_t n) { return static_cast<unsigned>((n + kMegabyte - 1) / kMegabyte); };
  return FormatToString(
      "\n-- kit too large: adding '%s' (%u MB) to the %u MB recorded so far passes the limit of "
      "%u MB of kit data that this packer can hold in memory",
      what.c_str(), mb(bytes), mb(budget.used()), mb(budget.limit()));
}

}  // namespace pack
