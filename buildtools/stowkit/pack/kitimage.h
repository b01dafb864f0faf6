// The image of a kit: the stub's headers and sections with its resource section replaced by
// the kit's. Sections before the resource section keep their places; sections after it move
// (only a base-relocation or discardable section can, since nothing else refers to them by
// address); the certificate table and anything after the last section are dropped, because a
// signature over the stub would be false for the kit; the header checksum is computed as the
// platform's CheckSumMappedFile does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/peimage.h"
#include "services/bytewriter.h"

namespace pack {

struct KitImagePlan {
  int resourceIndex = -1;      // section replaced by the kit's resources
  bool newSection = false;     // the stub had none: one is added after the last section
  uint32_t resourceRva = 0;
  uint64_t resourceOffset = 0;  // in the kit file; the stub's bytes before it are kept
  std::vector<int> moved;      // sections after the resource section, in file order
};

// Where the kit's resource section goes in an image made from stub. False with a reason when
// the stub cannot take one.
bool PlanKitImage(const PeImage& stub, KitImagePlan& plan, std::string& reason);

// Where a moved section lies in the kit.
struct MovedSection {
  int index = 0;
  uint64_t fromOffset = 0;  // in the stub
  uint64_t toOffset = 0;    // in the kit
  uint32_t size = 0;        // raw bytes to copy
};

struct KitImage {
  ByteVector headers;  // the kit's first sizeOfHeaders bytes, checksum field still 0
  uint32_t resourceRawSize = 0;  // the resource section padded to the file alignment
  std::vector<MovedSection> moved;
  uint64_t fileSize = 0;
  uint32_t sizeOfImage = 0;
};

// The kit's headers for a resource section of resourceSize bytes. False when the image
// would not fit the 32-bit sizes of a PE image.
bool BuildKitImage(const PeImage& stub, const KitImagePlan& plan, uint32_t resourceSize,
                   KitImage& kit, std::string& reason);

// The checksum word sum of a file written in pieces: each piece adds its 16-bit little-endian
// words by their position in the file; the checksum field is left out by writing it as 0.
class ChecksumSum {
 public:
  void Add(uint64_t offset, const uint8_t* data, size_t size);
  // The header checksum of a file of fileSize bytes whose words were all added.
  uint32_t Checksum(uint64_t fileSize) const;

 private:
  uint64_t sum_ = 0;
};

// CheckSumMappedFile's value for a whole file held in memory (checksum field counted as 0).
uint32_t PeChecksum(const uint8_t* data, size_t size, uint32_t checksumOffset);

}  // namespace pack

namespace pack {

enum class HeaderRepair { kNone, kRewrite, kFailed };

// The headers of a kit as the platform's resource update leaves it, made true: a signed
// packer's certificate table goes (the security directory zeroed, the table cut from the end
// of the file: newSize), and the header checksum is computed over the final bytes (the update
// keeps the packer's, which no longer matches the kit). kNone when both are already right;
// kFailed sets reason.
HeaderRepair PlanHeaderRepair(ByteSource& file, const PeImage& image, ByteVector& headers,
                              uint64_t& newSize, std::string& reason);

}  // namespace pack
