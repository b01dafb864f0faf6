#include "pack/peimage.h"

#include <cstring>

#include "formatstring.h"
#include "services/textutil.h"

namespace pack {

namespace {

constexpr uint32_t kMaxHeaderBytes = 16u * 1024 * 1024;
constexpr unsigned kMaxSections = 96;
constexpr unsigned kMaxDirectories = 16;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kSectionHeaderBytes = 40;
constexpr uint32_t kResourceDirBytes = 16;
constexpr uint32_t kResourceEntryBytes = 8;
constexpr uint32_t kHighBit = 0x80000000u;

bool PowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// Bounded reads inside the resource section's file data.
class ResourceReader {
 public:
  ResourceReader(ByteSource& source, uint64_t base, uint32_t size)
      : source_(source), base_(base), size_(size) {}
  bool Read(uint32_t offset, void* buffer, uint32_t count, std::string& reason) {
    if (offset > size_ || count > size_ - offset || !source_.ReadAt(base_ + offset, buffer, count)) {
      reason = FormatToString("the resource directory is cut off at offset %u", offset);
      return false;
    }
    return true;
  }

 private:
  ByteSource& source_;
  uint64_t base_;
  uint32_t size_;
};

// Finds the entry for key in the directory at dirOffset; entryValue receives its second word.
LookupResult FindEntry(ResourceReader& reader, uint32_t dirOffset, const ResourceKey& key,
                       bool firstAny, uint32_t& entryValue, std::string& reason) {
  uint8_t header[kResourceDirBytes];
  if (!reader.Read(dirOffset, header, sizeof header, reason)) return LookupResult::kMalformed;
  uint32_t count = uint32_t(Get16(header + 12)) + Get16(header + 14);
  for (uint32_t n = 0; n < count; ++n) {
    uint8_t entry[kResourceEntryBytes];
    if (!reader.Read(dirOffset + kResourceDirBytes + n * kResourceEntryBytes, entry, sizeof entry, reason)) {
      return LookupResult::kMalformed;
    }
    uint32_t nameWord = Get32(entry);
    bool match = firstAny;
    if (!match && (nameWord & kHighBit) && key.IsName()) {
      uint8_t lengthBytes[2];
      uint32_t at = nameWord & ~kHighBit;
      if (!reader.Read(at, lengthBytes, 2, reason)) return LookupResult::kMalformed;
      uint16_t length = Get16(lengthBytes);
      if (length == key.text.size()) {
        ByteVector chars(2u * length);
        if (length && !reader.Read(at + 2, chars.data(), 2u * length, reason)) return LookupResult::kMalformed;
        std::u16string text;
        for (uint16_t i = 0; i < length; ++i) text.push_back(static_cast<char16_t>(Get16(&chars[2u * i])));
        match = SameAsciiCaseless(text, key.text);
      }
    } else if (!match && !(nameWord & kHighBit) && !key.IsName()) {
      match = (nameWord & 0xFFFF) == key.id && nameWord <= 0xFFFF;
    }
    if (match) {
      entryValue = Get32(entry + 4);
      return LookupResult::kFound;
    }
  }
  return LookupResult::kAbsent;
}

}  // namespace

bool MemorySource::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  if (size) std::memcpy(buffer, data_ + offset, size);
  return true;
}

int PeImage::SectionOfRva(uint32_t rva) const {
  for (size_t i = 0; i < sections.size(); ++i) {
    const PeSection& s = sections[i];
    uint32_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
    if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) return static_cast<int>(i);
  }
  return -1;
}

bool PeImage::RvaToOffset(uint32_t rva, uint32_t size, uint64_t& offset) const {
  int index = SectionOfRva(rva);
  if (index < 0) return false;
  const PeSection& s = sections[index];
  uint32_t within = rva - s.virtualAddress;
  if (within > s.rawSize || size > s.rawSize - within) return false;
  offset = uint64_t(s.rawOffset) + within;
  return true;
}

bool ReadPeImage(ByteSource& source, PeImage& image, std::string& reason) {
  image = PeImage();
  image.fileSize = source.Size();
  uint8_t dos[64];
  if (!source.ReadAt(0, dos, sizeof dos)) {
    reason = "the file is too short for an executable header";
    return false;
  }
  if (dos[0] != 'M' || dos[1] != 'Z') {
    reason = "the file is not a Windows executable (no MZ header)";
    return false;
  }
  uint32_t peOffset = Get32(dos + 0x3C);
  uint8_t fileHeader[24];
  if (!source.ReadAt(peOffset, fileHeader, sizeof fileHeader)) {
    reason = FormatToString("the PE header offset 0x%X lies outside the file", peOffset);
    return false;
  }
  if (std::memcmp(fileHeader, "PE\0\0", 4) != 0) {
    reason = "the file is not a PE image (no PE signature)";
    return false;
  }
  image.machine = Get16(fileHeader + 4);
  if (image.machine != kMachineI386 && image.machine != kMachineAmd64) {
    reason = FormatToString("the image is for machine 0x%04X; kits are made for i386 and x86-64 images only",
                            image.machine);
    return false;
  }
  uint16_t sectionCount = Get16(fileHeader + 6);
  uint16_t optionalSize = Get16(fileHeader + 20);
  image.optionalOffset = peOffset + 24;
  if (sectionCount == 0 || sectionCount > kMaxSections) {
    reason = FormatToString("the image declares %u sections", sectionCount);
    return false;
  }
  uint8_t optional[240] = {};
  if (optionalSize < 96 || !source.ReadAt(image.optionalOffset, optional,
                                          optionalSize < sizeof optional ? optionalSize : sizeof optional)) {
    reason = "the optional header is missing or cut off";
    return false;
  }
  uint16_t magic = Get16(optional);
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
    reason = FormatToString("unknown optional-header kind 0x%04X", magic);
    return false;
  }
  image.pe32plus = magic == kMagicPe32Plus;
  if ((image.pe32plus ? kMachineAmd64 : kMachineI386) != image.machine) {
    reason = "the optional-header kind does not match the machine";
    return false;
  }
  uint32_t fixedSize = image.pe32plus ? 112 : 96;
  if (optionalSize < fixedSize) {
    reason = "the optional header is too short";
    return false;
  }
  image.sectionAlignment = Get32(optional + 32);
  image.fileAlignment = Get32(optional + 36);
  image.sizeOfImage = Get32(optional + 56);
  image.sizeOfHeaders = Get32(optional + 60);
  uint32_t directoryCount = Get32(optional + fixedSize - 4);
  if (directoryCount > kMaxDirectories || fixedSize + 8 * directoryCount > optionalSize) {
    reason = FormatToString("the image declares %u data directories", directoryCount);
    return false;
  }
  if (!PowerOfTwo(image.fileAlignment) || !PowerOfTwo(image.sectionAlignment) ||
      image.fileAlignment < 512 || image.fileAlignment > 65536 ||
      image.sectionAlignment < image.fileAlignment) {
    reason = FormatToString("unusable alignments (file 0x%X, sections 0x%X)", image.fileAlignment,
                            image.sectionAlignment);
    return false;
  }
  image.sectionTableOffset = image.optionalOffset + optionalSize;
  uint64_t tableEnd = uint64_t(image.sectionTableOffset) + kSectionHeaderBytes * sectionCount;
  if (image.sizeOfHeaders < tableEnd || image.sizeOfHeaders > kMaxHeaderBytes ||
      image.sizeOfHeaders > image.fileSize) {
    reason = FormatToString("the header size 0x%X does not hold the section table or lies outside the file",
                            image.sizeOfHeaders);
    return false;
  }
  image.headers.resize(image.sizeOfHeaders);
  if (!source.ReadAt(0, image.headers.data(), image.headers.size())) {
    reason = "the headers cannot be read";
    return false;
  }
  for (uint32_t i = 0; i < directoryCount; ++i) {
    const uint8_t* d = image.headers.data() + image.optionalOffset + fixedSize + 8 * i;
    image.directories.push_back(PeDirectory{Get32(d), Get32(d + 4)});
  }
  uint32_t lastEnd = 0;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint8_t* h = image.headers.data() + image.sectionTableOffset + kSectionHeaderBytes * i;
    PeSection s;
    for (int k = 0; k < 8 && h[k]; ++k) s.name.push_back(static_cast<char>(h[k]));
    s.virtualSize = Get32(h + 8);
    s.virtualAddress = Get32(h + 12);
    s.rawSize = Get32(h + 16);
    s.rawOffset = Get32(h + 20);
    s.characteristics = Get32(h + 36);
    uint32_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
    if (s.virtualAddress < lastEnd || s.virtualAddress % image.sectionAlignment != 0 ||
        uint64_t(s.virtualAddress) + extent > image.sizeOfImage) {
      reason = FormatToString("section %u ('%s') has an unusable address range", i + 1, s.name.c_str());
      return false;
    }
    if (s.rawSize && (uint64_t(s.rawOffset) + s.rawSize > image.fileSize || s.rawOffset < image.sizeOfHeaders)) {
      reason = FormatToString("section %u ('%s') lies outside the file", i + 1, s.name.c_str());
      return false;
    }
    lastEnd = s.virtualAddress + extent;
    image.sections.push_back(s);
  }
  return true;
}

LookupResult LookupResource(ByteSource& source, const PeImage& image, const ResourceKey& type,
                          const ResourceKey& name, ResourceData& data, std::string& reason) {
  PeDirectory dir = image.Directory(kDirResource);
  if (dir.rva == 0 || dir.size == 0) return LookupResult::kAbsent;
  int index = image.SectionOfRva(dir.rva);
  if (index < 0) {
    reason = "the resource directory lies outside every section";
    return LookupResult::kMalformed;
  }
  const PeSection& section = image.sections[index];
  uint32_t within = dir.rva - section.virtualAddress;
  if (within >= section.rawSize) {
    reason = "the resource directory lies outside the file";
    return LookupResult::kMalformed;
  }
  ResourceReader reader(source, uint64_t(section.rawOffset) + within, section.rawSize - within);
  uint32_t value = 0;
  LookupResult r = FindEntry(reader, 0, type, false, value, reason);
  if (r != LookupResult::kFound) return r;
  // Three levels (type, name, language): each of the first two must lead to a directory.
  if (!(value & kHighBit)) {
    reason = "a resource type entry does not lead to a directory";
    return LookupResult::kMalformed;
  }
  r = FindEntry(reader, value & ~kHighBit, name, false, value, reason);
  if (r != LookupResult::kFound) return r;
  if (!(value & kHighBit)) {
    reason = "a resource name entry does not lead to a directory";
    return LookupResult::kMalformed;
  }
  r = FindEntry(reader, value & ~kHighBit, ResourceKey(), true, value, reason);
  if (r != LookupResult::kFound) return r;
  if (value & kHighBit) {
    reason = "a resource language entry leads to a directory";
    return LookupResult::kMalformed;
  }
  uint8_t entry[16];
  if (!reader.Read(value, entry, sizeof entry, reason)) return LookupResult::kMalformed;
  uint32_t rva = Get32(entry);
  data.size = Get32(entry + 4);
  if (!image.RvaToOffset(rva, data.size, data.offset)) {
    reason = FormatToString("resource data at 0x%X (%u bytes) lies outside the file", rva, data.size);
    return LookupResult::kMalformed;
  }
  return LookupResult::kFound;
}

bool ReadResource(ByteSource& source, const ResourceData& data, size_t maxBytes, ByteVector& out,
                  std::string& reason) {
  if (data.size > maxBytes) {
    reason = FormatToString("a resource of %u bytes is larger than expected", data.size);
    return false;
  }
  out.resize(data.size);
  if (data.size && !source.ReadAt(data.offset, out.data(), data.size)) {
    reason = "resource data cannot be read";
    return false;
  }
  return true;
}

}  // namespace pack
