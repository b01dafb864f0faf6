#include "pack/kitimage.h"

#include <algorithm>

#include "formatstring.h"

namespace pack {

namespace {

constexpr uint32_t kSectionHeaderBytes = 40;
constexpr uint32_t kDiscardable = 0x02000000;
constexpr uint32_t kInitializedData = 0x00000040;
constexpr uint32_t kMemRead = 0x40000000;

uint64_t Align(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

void Store32(ByteVector& out, size_t at, uint32_t value) {
  for (int k = 0; k < 4; ++k) out[at + k] = static_cast<uint8_t>(value >> (8 * k));
}

uint64_t RawEnd(const PeSection& s) { return uint64_t(s.rawOffset) + s.rawSize; }

}  // namespace

bool PlanKitImage(const PeImage& stub, KitImagePlan& plan, std::string& reason) {
  plan = KitImagePlan();
  PeDirectory resources = stub.Directory(kDirResource);
  int count = static_cast<int>(stub.sections.size());
  if (resources.rva != 0) {
    plan.resourceIndex = stub.SectionOfRva(resources.rva);
    if (plan.resourceIndex < 0 || stub.sections[plan.resourceIndex].virtualAddress != resources.rva) {
      reason = "the stub's resources do not start a section of their own";
      return false;
    }
  } else {
    plan.newSection = true;
    plan.resourceIndex = count;
    uint64_t tableEnd = stub.sectionTableOffset + uint64_t(kSectionHeaderBytes) * (count + 1);
    uint64_t firstRaw = stub.sizeOfHeaders;
    for (const PeSection& s : stub.sections) {
      if (s.rawSize && s.rawOffset < firstRaw) firstRaw = s.rawOffset;
    }
    if (tableEnd > firstRaw) {
      reason = "the stub has no resources and no room in its headers for a resource section";
      return false;
    }
  }
  // Every section after the resource section in address order must be movable, and must
  // also lie after it in the file.
  uint64_t resourceStart = plan.newSection ? 0 : stub.sections[plan.resourceIndex].rawOffset;
  for (int i = plan.resourceIndex + 1; i < count; ++i) {
    const PeSection& s = stub.sections[i];
    bool relocations = stub.Directory(kDirBaseReloc).rva != 0 &&
                       stub.SectionOfRva(stub.Directory(kDirBaseReloc).rva) == i;
    bool referenced = false;
    for (unsigned d = 0; d < stub.directories.size(); ++d) {
      if (d == kDirSecurity || d == kDirBaseReloc || stub.directories[d].rva == 0) continue;
      if (stub.SectionOfRva(stub.directories[d].rva) == i) referenced = true;
    }
    if (!(relocations || (s.characteristics & kDiscardable)) || referenced) {
      reason = FormatToString("section '%s' follows the resource section and cannot be moved", s.name.c_str());
      return false;
    }
    if (s.rawSize && s.rawOffset < resourceStart) {
      reason = FormatToString("section '%s' lies before the resource section in the file", s.name.c_str());
      return false;
    }
    plan.moved.push_back(i);
  }
  // Directories other than the resources must not point into the old resource section.
  if (!plan.newSection) {
    for (unsigned d = 0; d < stub.directories.size(); ++d) {
      if (d == kDirResource || d == kDirSecurity || stub.directories[d].rva == 0) continue;
      if (stub.SectionOfRva(stub.directories[d].rva) == plan.resourceIndex) {
        reason = FormatToString("data directory %u lies in the resource section", d);
        return false;
      }
    }
    plan.resourceRva = stub.sections[plan.resourceIndex].virtualAddress;
    plan.resourceOffset = stub.sections[plan.resourceIndex].rawOffset;
  } else {
    const PeSection& last = stub.sections.back();
    plan.resourceRva = static_cast<uint32_t>(
        Align(uint64_t(last.virtualAddress) + (last.virtualSize ? last.virtualSize : last.rawSize),
              stub.sectionAlignment));
    uint64_t end = stub.sizeOfHeaders;
    for (const PeSection& s : stub.sections) {
      if (s.rawSize && RawEnd(s) > end) end = RawEnd(s);
    }
    plan.resourceOffset = Align(end, stub.fileAlignment);
  }
  return true;
}

bool BuildKitImage(const PeImage& stub, const KitImagePlan& plan, uint32_t resourceSize,
                   KitImage& kit, std::string& reason) {
  kit = KitImage();
  kit.headers = stub.headers;
  kit.resourceRawSize = static_cast<uint32_t>(Align(resourceSize, stub.fileAlignment));
  uint64_t rva = Align(uint64_t(plan.resourceRva) + resourceSize, stub.sectionAlignment);
  uint64_t offset = plan.resourceOffset + kit.resourceRawSize;
  int64_t rvaDelta = 0;
  int relocIndex = stub.Directory(kDirBaseReloc).rva ? stub.SectionOfRva(stub.Directory(kDirBaseReloc).rva) : -1;
  int64_t relocDelta = 0;
  uint32_t imageEnd = static_cast<uint32_t>(rva);

  auto header = [&](int index) { return stub.sectionTableOffset + kSectionHeaderBytes * index; };
  if (plan.newSection) {
    size_t at = header(plan.resourceIndex);
    for (uint32_t k = 0; k < kSectionHeaderBytes; ++k) kit.headers[at + k] = 0;
    const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    for (int k = 0; k < 8; ++k) kit.headers[at + k] = static_cast<uint8_t>(name[k]);
    Store32(kit.headers, at + 36, kInitializedData | kMemRead);
    uint16_t sections = Get16(kit.headers.data() + stub.optionalOffset - 20 + 2);
    kit.headers[stub.optionalOffset - 18] = static_cast<uint8_t>((sections + 1) & 0xFF);
    kit.headers[stub.optionalOffset - 17] = static_cast<uint8_t>((sections + 1) >> 8);
  }
  size_t at = header(plan.resourceIndex);
  Store32(kit.headers, at + 8, resourceSize);
  Store32(kit.headers, at + 12, plan.resourceRva);
  Store32(kit.headers, at + 16, kit.resourceRawSize);
  Store32(kit.headers, at + 20, static_cast<uint32_t>(plan.resourceOffset));

  for (size_t m = 0; m < plan.moved.size(); ++m) {
    const PeSection& s = stub.sections[plan.moved[m]];
    if (m == 0) rvaDelta = int64_t(rva) - s.virtualAddress;
    uint64_t newRva = uint64_t(int64_t(s.virtualAddress) + rvaDelta);
    MovedSection moved;
    moved.index = plan.moved[m];
    moved.fromOffset = s.rawOffset;
    moved.toOffset = s.rawSize ? offset : 0;
    moved.size = s.rawSize;
    if (plan.moved[m] == relocIndex) relocDelta = rvaDelta;
    size_t h = header(plan.moved[m]);
    Store32(kit.headers, h + 12, static_cast<uint32_t>(newRva));
    Store32(kit.headers, h + 20, static_cast<uint32_t>(moved.toOffset));
    offset += Align(s.rawSize, stub.fileAlignment);
    uint64_t end = Align(newRva + (s.virtualSize ? s.virtualSize : s.rawSize), stub.sectionAlignment);
    if (end > 0xFFFFFFFFu || offset > 0xFFFFFFFFu) {
      reason = "the kit would exceed the 4 GB an image can address";
      return false;
    }
    imageEnd = static_cast<uint32_t>(end);
    kit.moved.push_back(moved);
  }
  if (rva > 0xFFFFFFFFu || offset > 0xFFFFFFFFu) {
    reason = "the kit would exceed the 4 GB an image can address";
    return false;
  }
  kit.fileSize = offset;
  kit.sizeOfImage = imageEnd;
  Store32(kit.headers, stub.SizeOfImageOffset(), imageEnd);
  Store32(kit.headers, stub.ChecksumOffset(), 0);
  if (stub.directories.size() > kDirResource) {
    Store32(kit.headers, stub.DirectoryOffset(kDirResource), plan.resourceRva);
    Store32(kit.headers, stub.DirectoryOffset(kDirResource) + 4, resourceSize);
  } else {
    reason = "the stub's header has no place for a resource directory";
    return false;
  }
  if (stub.directories.size() > kDirSecurity) {
    Store32(kit.headers, stub.DirectoryOffset(kDirSecurity), 0);
    Store32(kit.headers, stub.DirectoryOffset(kDirSecurity) + 4, 0);
  }
  if (relocIndex >= 0 && relocDelta != 0) {
    Store32(kit.headers, stub.DirectoryOffset(kDirBaseReloc),
            static_cast<uint32_t>(int64_t(stub.Directory(kDirBaseReloc).rva) + relocDelta));
  }
  return true;
}

void ChecksumSum::Add(uint64_t offset, const uint8_t* data, size_t size) {
  size_t i = 0;
  if (size && (offset & 1)) {
    sum_ += uint64_t(data[0]) << 8;
    i = 1;
  }
  uint64_t local = 0;
  for (; i + 1 < size; i += 2) local += uint64_t(data[i]) | (uint64_t(data[i + 1]) << 8);
  if (i < size) local += data[i];  // a last byte at an even offset: the low half of a word
  sum_ += local;
}

uint32_t ChecksumSum::Checksum(uint64_t fileSize) const {
  // Adding 16-bit words with the carry folded back in is addition modulo 0xFFFF in which a
  // non-zero total never folds to 0.
  uint64_t folded = sum_ % 0xFFFF;
  if (folded == 0 && sum_ != 0) folded = 0xFFFF;
  return static_cast<uint32_t>(folded + fileSize);
}

uint32_t PeChecksum(const uint8_t* data, size_t size, uint32_t checksumOffset) {
  ChecksumSum sum;
  if (checksumOffset + 4 <= size) {
    sum.Add(0, data, checksumOffset);
    sum.Add(checksumOffset + 4, data + checksumOffset + 4, size - checksumOffset - 4);
  } else {
    sum.Add(0, data, size);
  }
  return sum.Checksum(size);
}

}  // namespace pack

namespace pack {

HeaderRepair PlanHeaderRepair(ByteSource& file, const PeImage& image, ByteVector& headers,
                              uint64_t& newSize, std::string& reason) {
  PeDirectory table = image.Directory(kDirSecurity);
  bool signed_ = table.rva != 0 || table.size != 0;
  newSize = image.fileSize;
  headers = image.headers;
  if (signed_) {
    // The table's "address" is a file offset. It is cut only where it lies after every
    // section's data; anywhere else only the directory entry goes.
    uint64_t sectionsEnd = image.sizeOfHeaders;
    for (const PeSection& s : image.sections) {
      if (s.rawSize) sectionsEnd = std::max<uint64_t>(sectionsEnd, uint64_t(s.rawOffset) + s.rawSize);
    }
    if (table.rva >= sectionsEnd && table.rva <= image.fileSize) newSize = table.rva;
    for (int k = 0; k < 8; ++k) headers[image.DirectoryOffset(kDirSecurity) + k] = 0;
  }
  const size_t at = image.ChecksumOffset();
  const uint32_t stored = Get32(headers.data() + at);
  for (int k = 0; k < 4; ++k) headers[at + k] = 0;
  ChecksumSum sum;
  sum.Add(0, headers.data(), headers.size());
  ByteVector block(static_cast<size_t>(std::min<uint64_t>(1u << 20, newSize)));
  for (uint64_t offset = headers.size(); offset < newSize;) {
    size_t part = static_cast<size_t>(std::min<uint64_t>(block.size(), newSize - offset));
    if (!file.ReadAt(offset, block.data(), part)) {
      reason = "the image cannot be read back";
      return HeaderRepair::kFailed;
    }
    sum.Add(offset, block.data(), part);
    offset += part;
  }
  uint32_t checksum = sum.Checksum(newSize);
  Store32(headers, at, checksum);
  return signed_ || checksum != stored ? HeaderRepair::kRewrite : HeaderRepair::kNone;
}

}  // namespace pack
