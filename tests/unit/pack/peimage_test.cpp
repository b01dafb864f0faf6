// The PE reader, the resource tables, the kit's image layout and the header checksum, on a small
// image built here field by field.
#include <gtest/gtest.h>

#include "pack/kitimage.h"
#include "pack/peimage.h"
#include "pack/resourcesection.h"

using namespace pack;

namespace {

void Set16(ByteVector& b, size_t at, uint16_t v) { Store16(b, at, v); }
void Set32(ByteVector& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

constexpr size_t kPe = 0x80;                 // e_lfanew
constexpr size_t kOptional = kPe + 24;       // PE32 optional header
constexpr size_t kDirectories = kOptional + 96;
constexpr size_t kSections = kOptional + 224;

struct SectionSpec {
  const char* name;
  uint32_t va, raw, size, flags;
};

// An i386 image: .text, .rsrc, then `last` (a relocation section unless told otherwise), and
// a 0x20-byte certificate table after the last section.
ByteVector MakeImage(uint32_t lastFlags = 0x42000040) {
  const SectionSpec sections[] = {{".text", 0x1000, 0x200, 0x200, 0x60000020},
                                  {".rsrc", 0x2000, 0x400, 0x200, 0x40000040},
                                  {".reloc", 0x3000, 0x600, 0x200, lastFlags}};
  ByteVector b(0x820, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Set32(b, 0x3C, kPe);
  b[kPe] = 'P';
  b[kPe + 1] = 'E';
  Set16(b, kPe + 4, kMachineI386);
  Set16(b, kPe + 6, 3);
  Set16(b, kPe + 20, 224);
  Set16(b, kOptional, 0x10B);
  Set32(b, kOptional + 32, 0x1000);  // section alignment
  Set32(b, kOptional + 36, 0x200);   // file alignment
  Set32(b, kOptional + 56, 0x4000);  // size of image
  Set32(b, kOptional + 60, 0x200);   // size of headers
  Set32(b, kOptional + 92, 16);
  Set32(b, kDirectories + 8 * kDirResource, 0x2000);
  Set32(b, kDirectories + 8 * kDirResource + 4, 0x100);
  Set32(b, kDirectories + 8 * kDirSecurity, 0x800);
  Set32(b, kDirectories + 8 * kDirSecurity + 4, 0x20);
  Set32(b, kDirectories + 8 * kDirBaseReloc, 0x3000);
  Set32(b, kDirectories + 8 * kDirBaseReloc + 4, 0x10);
  for (size_t i = 0; i < 3; ++i) {
    size_t h = kSections + 40 * i;
    for (size_t k = 0; sections[i].name[k]; ++k) b[h + k] = static_cast<uint8_t>(sections[i].name[k]);
    Set32(b, h + 8, sections[i].size);
    Set32(b, h + 12, sections[i].va);
    Set32(b, h + 16, sections[i].size);
    Set32(b, h + 20, sections[i].raw);
    Set32(b, h + 36, sections[i].flags);
    for (uint32_t k = 0; k < sections[i].size; ++k) b[sections[i].raw + k] = static_cast<uint8_t>(i + k);
  }
  return b;
}

std::string ReadReason(const ByteVector& image) {
  MemorySource source(image.data(), image.size());
  PeImage pe;
  std::string reason;
  return ReadPeImage(source, pe, reason) ? "ok" : reason;
}

TEST(PeImage, DamagedHeadersEndWithAReason) {
  const struct {
    const char* what;
    size_t at;
    uint32_t value;
    int width;
    const char* reason;
  } cases[] = {
      {"no MZ", 0, 'X', 1, "no MZ header"},
      {"PE header outside", 0x3C, 0x7FFFFFF0, 4, "lies outside the file"},
      {"no PE signature", kPe, 'Q', 1, "no PE signature"},
      {"other machine", kPe + 4, 0x01C0, 2, "machine 0x01C0"},
      {"no sections", kPe + 6, 0, 2, "declares 0 sections"},
      {"kind and machine differ", kOptional, 0x20B, 2, "does not match the machine"},
      {"too many directories", kOptional + 92, 17, 4, "declares 17 data directories"},
      {"odd file alignment", kOptional + 36, 0x300, 4, "unusable alignments"},
      {"headers outside", kOptional + 60, 0x10000, 4, "does not hold the section table"},
      {"section outside the file", kSections + 40 + 20, 0x7F0, 4, "lies outside the file"},
      {"overlapping sections", kSections + 40 + 12, 0x1000, 4, "unusable address range"},
  };
  EXPECT_EQ(ReadReason(MakeImage()), "ok");
  for (const auto& c : cases) {
    ByteVector image = MakeImage();
    if (c.width == 1) image[c.at] = static_cast<uint8_t>(c.value);
    if (c.width == 2) Set16(image, c.at, static_cast<uint16_t>(c.value));
    if (c.width == 4) Set32(image, c.at, c.value);
    EXPECT_NE(ReadReason(image).find(c.reason), std::string::npos) << c.what << ": " << ReadReason(image);
  }
  for (size_t cut : {size_t(10), kPe + 10, kOptional + 50, kSections + 20}) {
    ByteVector image = MakeImage();
    image.resize(cut);
    EXPECT_NE(ReadReason(image), "ok") << "cut at " << cut;
  }
}

TEST(ResourceTables, ExactBytes) {
  std::vector<ResourceItem> items = {
      {ResourceKey::Id(3), ResourceKey::Id(1), 0x809, 176, 5},
      {ResourceKey::Name(u"AB"), ResourceKey::Id(7), 0x809, 168, 3},
  };
  uint32_t size = 0;
  std::string reason;
  ASSERT_TRUE(ResourceTableSize(items, size, reason));
  EXPECT_EQ(size, 168u);
  ByteVector want;
  auto dir = [&want](uint16_t named, uint16_t ids) {
    Put32(want, 0);
    Put32(want, 0);
    Put16(want, 4);
    Put16(want, 0);
    Put16(want, named);
    Put16(want, ids);
  };
  auto entry = [&want](uint32_t name, uint32_t offset) {
    Put32(want, name);
    Put32(want, offset);
  };
  dir(1, 1);                               // root: the named type first
  entry(0x800000A0, 0x80000020);
  entry(3, 0x80000038);
  dir(0, 1);                               // type "AB"
  entry(7, 0x80000050);
  dir(0, 1);                               // type 3
  entry(1, 0x80000068);
  dir(0, 1);                               // AB/7
  entry(0x809, 0x80);
  dir(0, 1);                               // 3/1
  entry(0x809, 0x90);
  for (uint32_t data : {0x5000u + 168, 3u, 0u, 0u, 0x5000u + 176, 5u, 0u, 0u}) Put32(want, data);
  for (uint16_t unit : {uint16_t(2), uint16_t('A'), uint16_t('B'), uint16_t(0)}) Put16(want, unit);
  EXPECT_EQ(BuildResourceTables(items, 0x5000), want);

  items.push_back(items[1]);
  EXPECT_FALSE(ResourceTableSize(items, size, reason));
}

TEST(ResourceTables, ReadBackThroughThePeReader) {
  ByteVector image = MakeImage();
  std::vector<ResourceItem> items = {
      {ResourceKey::Name(u"KIT_FILES"), ResourceKey::Name(u"F1"), 0x809, 0, 4},
      {ResourceKey::Name(u"KIT_FILES"), ResourceKey::Name(u"KIT.INFO"), 0x809, 0, 2},
      {ResourceKey::Id(14), ResourceKey::Id(99), 0, 0, 1},
  };
  uint32_t size = 0;
  std::string reason;
  ASSERT_TRUE(ResourceTableSize(items, size, reason));
  for (size_t i = 0; i < items.size(); ++i) items[i].offset = size + 8 * static_cast<uint32_t>(i);
  ByteVector tables = BuildResourceTables(items, 0x2000);
  std::copy(tables.begin(), tables.end(), image.begin() + 0x400);
  for (size_t i = 0; i < items.size(); ++i) image[0x400 + items[i].offset] = static_cast<uint8_t>(0xA0 + i);
  MemorySource source(image.data(), image.size());
  PeImage pe;
  ASSERT_TRUE(ReadPeImage(source, pe, reason)) << reason;
  const struct {
    ResourceKey type, name;
    LookupResult result;
    uint8_t first;
  } lookups[] = {
      {ResourceKey::Name(u"kit_files"), ResourceKey::Name(u"f1"), LookupResult::kFound, 0xA0},
      {ResourceKey::Name(u"KIT_FILES"), ResourceKey::Name(u"KIT.INFO"), LookupResult::kFound, 0xA1},
      {ResourceKey::Id(14), ResourceKey::Id(99), LookupResult::kFound, 0xA2},
      {ResourceKey::Id(14), ResourceKey::Name(u"DEFAULT_ICON"), LookupResult::kAbsent, 0},
      {ResourceKey::Id(3), ResourceKey::Id(1), LookupResult::kAbsent, 0},
  };
  for (const auto& l : lookups) {
    ResourceData data;
    ASSERT_EQ(LookupResource(source, pe, l.type, l.name, data, reason), l.result);
    if (l.result == LookupResult::kFound) {
      EXPECT_EQ(image[data.offset], l.first);
    }
  }
  // A directory entry that points outside the section is reported, not followed.
  ResourceData leaked;
  Set32(image, 0x400 + 16 + 4, 0x80000FF0);
  EXPECT_EQ(LookupResource(source, pe, ResourceKey::Name(u"KIT_FILES"), ResourceKey::Name(u"F1"), leaked,
                         reason),
            LookupResult::kMalformed);
}

TEST(KitImage, ResourceSectionReplacedAndRelocationsMoved) {
  ByteVector image = MakeImage();
  MemorySource source(image.data(), image.size());
  PeImage pe;
  std::string reason;
  ASSERT_TRUE(ReadPeImage(source, pe, reason)) << reason;
  KitImagePlan plan;
  ASSERT_TRUE(PlanKitImage(pe, plan, reason)) << reason;
  EXPECT_EQ(plan.resourceOffset, 0x400u);
  KitImage kit;
  ASSERT_TRUE(BuildKitImage(pe, plan, 0x1234, kit, reason)) << reason;
  EXPECT_EQ(kit.resourceRawSize, 0x1400u);
  ASSERT_EQ(kit.moved.size(), 1u);
  EXPECT_EQ(kit.moved[0].fromOffset, 0x600u);
  EXPECT_EQ(kit.moved[0].toOffset, 0x1800u);
  EXPECT_EQ(kit.fileSize, 0x1A00u);
  EXPECT_EQ(kit.sizeOfImage, 0x5000u);
  const uint8_t* h = kit.headers.data();
  EXPECT_EQ(Get32(h + kOptional + 56), 0x5000u);
  EXPECT_EQ(Get32(h + kDirectories + 8 * kDirResource + 4), 0x1234u);
  EXPECT_EQ(Get32(h + kDirectories + 8 * kDirSecurity), 0u);
  EXPECT_EQ(Get32(h + kDirectories + 8 * kDirBaseReloc), 0x4000u);
  EXPECT_EQ(Get32(h + kSections + 40 + 8), 0x1234u);   // .rsrc virtual size
  EXPECT_EQ(Get32(h + kSections + 80 + 12), 0x4000u);  // .reloc address
  EXPECT_EQ(Get32(h + kSections + 80 + 20), 0x1800u);  // .reloc file offset

  // A section that code may refer to cannot move.
  ByteVector data = MakeImage(0xC0000040);
  Set32(data, kDirectories + 8 * kDirBaseReloc, 0);
  MemorySource dataSource(data.data(), data.size());
  ASSERT_TRUE(ReadPeImage(dataSource, pe, reason));
  EXPECT_FALSE(PlanKitImage(pe, plan, reason));
  EXPECT_NE(reason.find("cannot be moved"), std::string::npos);
}

TEST(PeChecksum, WordsFoldedWithTheirCarriesPlusTheLength) {
  const struct {
    ByteVector data;
    uint32_t checksumOffset;
    uint32_t want;
  } cases[] = {
      {{}, 100, 0},
      {{0x01, 0x02, 0x03}, 100, 0x0204 + 3},
      {{0xFF, 0xFF, 0x02, 0x00}, 100, 0x0002 + 4},          // the carry comes back in
      {{0xFF, 0xFF, 0x00, 0x00}, 100, 0xFFFF + 4},          // never folds to 0
      {{0x10, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0x01}, 2, 0x0011 + 7},  // the field counts as 0
  };
  for (const auto& c : cases) EXPECT_EQ(PeChecksum(c.data.data(), c.data.size(), c.checksumOffset), c.want);
  // Pieces added at odd offsets give the same sum as the whole.
  ByteVector image = MakeImage();
  ChecksumSum sum;
  sum.Add(0, image.data(), 0x101);
  sum.Add(0x101, image.data() + 0x101, image.size() - 0x101);
  EXPECT_EQ(sum.Checksum(image.size()), PeChecksum(image.data(), image.size(), 0xFFFFFFF0));
}

TEST(KitImage, CertificateTableRemovedAndChecksumMadeTrue) {
  ByteVector image = MakeImage();
  MemorySource source(image.data(), image.size());
  PeImage pe;
  std::string reason;
  ASSERT_TRUE(ReadPeImage(source, pe, reason));
  ByteVector headers;
  uint64_t size = 0;
  ASSERT_EQ(PlanHeaderRepair(source, pe, headers, size, reason), HeaderRepair::kRewrite);
  EXPECT_EQ(size, 0x800u);
  ByteVector unsigned_(image.begin(), image.begin() + 0x800);
  std::copy(headers.begin(), headers.end(), unsigned_.begin());
  EXPECT_EQ(Get32(unsigned_.data() + kDirectories + 8 * kDirSecurity + 4), 0u);
  EXPECT_EQ(Get32(unsigned_.data() + pe.ChecksumOffset()),
            PeChecksum(unsigned_.data(), unsigned_.size(), pe.ChecksumOffset()));
  MemorySource plain(unsigned_.data(), unsigned_.size());
  ASSERT_TRUE(ReadPeImage(plain, pe, reason));
  EXPECT_EQ(PlanHeaderRepair(plain, pe, headers, size, reason), HeaderRepair::kNone);
  // An unsigned image whose checksum is stale only gets the checksum.
  unsigned_[0x500] ^= 0x5A;
  MemorySource stale(unsigned_.data(), unsigned_.size());
  ASSERT_TRUE(ReadPeImage(stale, pe, reason));
  ASSERT_EQ(PlanHeaderRepair(stale, pe, headers, size, reason), HeaderRepair::kRewrite);
  EXPECT_EQ(size, 0x800u);
  std::copy(headers.begin(), headers.end(), unsigned_.begin());
  EXPECT_EQ(Get32(unsigned_.data() + pe.ChecksumOffset()),
            PeChecksum(unsigned_.data(), unsigned_.size(), pe.ChecksumOffset()));
}

}  // namespace
