#include "pack/kitlimit.h"

#include "formatstring.h"

namespace pack {

namespace {
constexpr uint16_t kMachineI386 = 0x014C;
// Measured under Wine 8 (WoW64 prefix) with kits whose one stored member is not unpacked: an
// i686 kit of 1016 MB starts, one of 1020 MB does not ("not enough memory": the loader finds
// no free 1 GB range in the 32-bit address space); an x86_64 kit of 4090 MB starts, just
// below the 4 GB that a PE image's 32-bit sizes can describe.
constexpr uint64_t kKitImageLimitI686 = 960 * kMegabyte;
constexpr uint64_t kKitImageLimitX8664 = 3840 * kMegabyte;
}  // namespace

uint64_t KitImageLimit(uint16_t machine) {
  return machine == kMachineI386 ? kKitImageLimitI686 : kKitImageLimitX8664;
}

const char* KitArchitectureName(uint16_t machine) { return machine == kMachineI386 ? "i686" : "x86_64"; }

std::string KitTooLargeText(const KitBudget& budget, uint64_t bytes, const std::string& what) {
  // Whole megabytes, rounded up, so that a small overshoot never reads as "0 MB".
  auto mb = [](uint64_t n) { return static_cast<unsigned>((n + kMegabyte - 1) / kMegabyte); };
  return FormatToString(
      "\n-- kit too large: adding '%s' (%u MB) to the %u MB recorded so far passes the limit of "
      "%u MB of kit data that this packer can hold in memory",
      what.c_str(), mb(bytes), mb(budget.used()), mb(budget.limit()));
}

}  // namespace pack
