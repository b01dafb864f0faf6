// How much resource data one kit may hold. The platform's resource update keeps every recorded
// resource in memory until it commits, and the commit builds the whole new image in memory as
// well, so the packer needs about twice the kit's size in address space. A 32-bit packer has
// 2 GB of it; the limit below leaves room for the image, the libraries, the member being
// recorded and heap fragmentation, so a larger kit fails with a message instead of running out
// of memory halfway through the commit.
#pragma once

#include <cstdint>
#include <string>

namespace pack {

constexpr uint64_t kMegabyte = 1024 * 1024;
// 32-bit packer: measured with the 64-bit build under Wine, the peak resident set is 2.0 x the
// resource data + 10 MB (182 MB kit: 376 MB; 257 MB kit: 525 MB), and the commit needs one
// contiguous block as large as the kit. Of the 2048 MB address space, 768 MB of data takes
// about 1550 MB, leaving ~500 MB for the image, the libraries, stacks and fragmentation.
constexpr uint64_t kKitLimit32 = 768 * kMegabyte;
// 64-bit packer: sizes and offsets inside an image are 32-bit; stay well inside them.
constexpr uint64_t kKitLimit64 = 2047 * kMegabyte;

// The limit for a packer whose pointers have this many bytes.
constexpr uint64_t KitResourceLimit(unsigned pointerBytes) {
  return pointerBytes <= 4 ? kKitLimit32 : kKitLimit64;
}

// Counts the bytes recorded so far against the limit.
class KitBudget {
 public:
  explicit KitBudget(uint64_t limit) : limit_(limit) {}
  // Takes bytes when they fit; false (nothing taken) when they would pass the limit.
  bool Take(uint64_t bytes) {
    if (bytes > limit_ || used_ > limit_ - bytes) return false;
    used_ += bytes;
    return true;
  }
  uint64_t used() const { return used_; }
  uint64_t limit() const { return limit_; }

 private:
  uint64_t limit_;
  uint64_t used_ = 0;
};

// The largest kit file the native packer writes for a stub of this machine (i386 or
// x86-64): below the size at which a kit of that architecture no longer starts.
uint64_t KitImageLimit(uint16_t machine);
// "i686" or "x86_64", for the message that names the limit.
const char* KitArchitectureName(uint16_t machine);

// The error-text line for a resource that does not fit (what, e.g. the member's source path).
std::string KitTooLargeText(const KitBudget& budget, uint64_t bytes, const std::string& what);

}  // namespace pack
