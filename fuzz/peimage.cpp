// The PE reader on arbitrary bytes, as a stub given to the native packer: headers, the kit's
// image layout, resource lookups and the certificate removal end with a reason or a result
// that stays inside the input, never with a read outside it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/kitimage.h"
#include "pack/peimage.h"

using namespace pack;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource source(data, size);
  PeImage image;
  std::string reason;
  if (!ReadPeImage(source, image, reason)) {
    if (reason.empty()) __builtin_trap();
    return 0;
  }
  const ResourceKey lookups[][2] = {
      {ResourceKey::Id(14), ResourceKey::Name(u"DEFAULT_ICON")},
      {ResourceKey::Id(3), ResourceKey::Id(1)},
      {ResourceKey::Name(u"KIT_FILES"), ResourceKey::Name(u"KIT.INFO")},
  };
  for (const auto& lookup : lookups) {
    ResourceData found;
    if (LookupResource(source, image, lookup[0], lookup[1], found, reason) == LookupResult::kFound) {
      if (found.offset > size || found.size > size - found.offset) __builtin_trap();
    }
  }
  KitImagePlan plan;
  if (PlanKitImage(image, plan, reason)) {
    KitImage kit;
    if (BuildKitImage(image, plan, 0x12345, kit, reason) && kit.headers.size() != image.headers.size()) {
      __builtin_trap();
    }
  }
  ByteVector headers;
  uint64_t newSize = 0;
  if (PlanHeaderRepair(source, image, headers, newSize, reason) == HeaderRepair::kRewrite &&
      newSize > size) {
    __builtin_trap();
  }
  return 0;
}
