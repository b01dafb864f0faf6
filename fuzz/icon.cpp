// .ico reading on arbitrary bytes: every accepted image lies inside the input, the group
// directory has its exact size, and writing the group back as .ico reads again the same way.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/icon.h"

using namespace pack;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  IconFile icon;
  std::string reason;
  if (!ParseIconFile(data, size, icon, reason)) return 0;
  std::vector<ByteVector> images;
  for (const IconImage& image : icon.images) {
    if (image.offset > size || image.size > size - image.offset) __builtin_trap();
    images.emplace_back(data + image.offset, data + image.offset + image.size);
  }
  ByteVector group = BuildGroupDirectory(icon);
  if (group.size() != 6 + 14 * icon.images.size()) __builtin_trap();
  std::vector<GroupEntry> entries;
  if (!ParseGroupDirectory(group.data(), group.size(), entries)) __builtin_trap();
  ByteVector again = BuildIconFile(entries, images);
  IconFile reread;
  if (!ParseIconFile(again.data(), again.size(), reread, reason)) __builtin_trap();
  if (reread.images.size() != icon.images.size()) __builtin_trap();
  for (size_t n = 0; n < images.size(); ++n) {
    const IconImage& image = reread.images[n];
    if (ByteVector(again.begin() + image.offset, again.begin() + image.offset + image.size) != images[n]) {
      __builtin_trap();
    }
  }
  return 0;
}
