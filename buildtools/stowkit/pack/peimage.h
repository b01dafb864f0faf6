// Reading a PE image (the stub that becomes a kit) through bounded reads: headers, section
// table, data directories, and single resources of its resource section. Every field is
// checked against the file before it is used, so a truncated or hostile image ends with a
// message naming what is wrong, never with a read outside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "services/bytewriter.h"

namespace pack {

// Random access to the image's bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Exactly size bytes at offset; false when they cannot be read.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;

enum PeDirectoryIndex : unsigned {
  kDirResource = 2,
  kDirSecurity = 4,
  kDirBaseReloc = 5,
};

struct PeSection {
  std::string name;  // up to 8 characters
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
  uint32_t characteristics = 0;
};

struct PeDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

struct PeImage {
  uint64_t fileSize = 0;
  uint16_t machine = 0;
  bool pe32plus = false;
  uint32_t optionalOffset = 0;  // file offset of the optional header
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t sectionTableOffset = 0;
  std::vector<PeDirectory> directories;  // as many as the header declares (at most 16)
  std::vector<PeSection> sections;
  ByteVector headers;  // the first sizeOfHeaders bytes of the file

  uint32_t ChecksumOffset() const { return optionalOffset + 64; }
  uint32_t SizeOfImageOffset() const { return optionalOffset + 56; }
  uint32_t DirectoryOffset(unsigned index) const {
    return optionalOffset + (pe32plus ? 112 : 96) + 8 * index;
  }
  PeDirectory Directory(unsigned index) const {
    return index < directories.size() ? directories[index] : PeDirectory();
  }
  // The section whose virtual range holds rva; -1 when none does.
  int SectionOfRva(uint32_t rva) const;
  // The file offset of rva, when size bytes from there lie in one section's file data.
  bool RvaToOffset(uint32_t rva, uint32_t size, uint64_t& offset) const;
};

// Reads and checks the headers and the section table. False with a reason otherwise.
bool ReadPeImage(ByteSource& source, PeImage& image, std::string& reason);

// A resource type or name: an integer, or a text when text is not empty.
struct ResourceKey {
  uint16_t id = 0;
  std::u16string text;
  static ResourceKey Id(uint16_t id) { return ResourceKey{id, {}}; }
  static ResourceKey Name(const std::u16string& text) { return ResourceKey{0, text}; }
  bool IsName() const { return !text.empty(); }
};

// Where the data of one resource lies in the file.
struct ResourceData {
  uint64_t offset = 0;
  uint32_t size = 0;
};

enum class LookupResult { kFound, kAbsent, kMalformed };

// The first language of resource (type, name), names compared without regard to the case of
// ASCII letters as the platform's resource lookup does. kMalformed sets reason.
LookupResult LookupResource(ByteSource& source, const PeImage& image, const ResourceKey& type,
                          const ResourceKey& name, ResourceData& data, std::string& reason);

// Reads the whole of a resource found above (at most maxBytes).
bool ReadResource(ByteSource& source, const ResourceData& data, size_t maxBytes, ByteVector& out,
                  std::string& reason);

}  // namespace pack
