#include "pack/icon.h"

#include <cstring>

#include "formatstring.h"

namespace pack {

namespace {
constexpr size_t kHeaderBytes = 6;
constexpr size_t kFileEntryBytes = 16;
constexpr size_t kGroupEntryBytes = 14;
}  // namespace

bool ParseIconFile(const uint8_t* data, size_t size, IconFile& out, std::string& reason) {
  out.images.clear();
  if (size < kHeaderBytes) {
    reason = "the file is too short for an icon header";
    return false;
  }
  if (Get16(data) != 0 || Get16(data + 2) != 1) {
    reason = "the file is not an icon file";
    return false;
  }
  std::memcpy(out.header, data, kHeaderBytes);
  size_t count = Get16(data + 4);
  if (size < kHeaderBytes + count * kFileEntryBytes) {
    reason = FormatToString("the file is shorter than its directory of %u images",
                            static_cast<unsigned>(count));
    return false;
  }
  for (size_t n = 0; n < count; ++n) {
    const uint8_t* entry = data + kHeaderBytes + n * kFileEntryBytes;
    IconImage image;
    std::memcpy(image.entry, entry, sizeof image.entry);
    image.size = Get32(entry + 8);
    image.offset = Get32(entry + 12);
    if (image.size == 0 || image.offset > size || image.size > size - image.offset) {
      reason = FormatToString("image %u lies outside the file", static_cast<unsigned>(n + 1));
      out.images.clear();
      return false;
    }
    out.images.push_back(image);
  }
  return true;
}

ByteVector BuildGroupDirectory(const IconFile& icon) {
  ByteVector out(icon.header, icon.header + kHeaderBytes);
  uint16_t id = 0;
  for (const IconImage& image : icon.images) {
    out.insert(out.end(), image.entry, image.entry + sizeof image.entry);
    Put16(out, ++id);
  }
  return out;
}

bool ParseGroupDirectory(const uint8_t* data, size_t size, std::vector<GroupEntry>& entries) {
  entries.clear();
  if (size < kHeaderBytes || Get16(data) != 0 || Get16(data + 2) != 1) return false;
  size_t count = Get16(data + 4);
  if (size < kHeaderBytes + count * kGroupEntryBytes) return false;
  for (size_t n = 0; n < count; ++n) {
    const uint8_t* at = data + kHeaderBytes + n * kGroupEntryBytes;
    GroupEntry entry;
    std::memcpy(entry.entry, at, sizeof entry.entry);
    entry.id = Get16(at + 12);
    entries.push_back(entry);
  }
  return true;
}

ByteVector BuildIconFile(const std::vector<GroupEntry>& entries,
                         const std::vector<ByteVector>& images) {
  ByteVector out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(entries.size()));
  uint32_t offset = static_cast<uint32_t>(kHeaderBytes + kFileEntryBytes * entries.size());
  for (size_t n = 0; n < entries.size(); ++n) {
    const uint8_t* e = entries[n].entry;
    Put8(out, e[0]);  // width
    Put8(out, e[1]);  // height
    Put8(out, e[2]);  // colour count
    Put8(out, 0);     // reserved
    Put16(out, Get16(e + 4));  // planes
    Put16(out, Get16(e + 6));  // bit count
    uint32_t size = static_cast<uint32_t>(images[n].size());
    Put32(out, size);
    Put32(out, offset);
    offset += size;
  }
  for (const ByteVector& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace pack
