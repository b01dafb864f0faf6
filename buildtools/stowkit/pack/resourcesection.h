// The resource section of a kit, laid out as the platform's resource update lays it out: the
// directory tables (types, then names, then languages; in each table the named entries first,
// sorted by their upper-case name, then the integer ones in ascending order), the data entries, the name
// strings, and the data, each piece starting on an 8-byte boundary. The tables' size depends
// on the keys only, so the data can be written first and the tables filled in afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/peimage.h"
#include "services/bytewriter.h"

namespace pack {

struct ResourceItem {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  uint32_t offset = 0;  // of the data from the start of the section
  uint32_t size = 0;
};

constexpr uint32_t kResourceDataAlignment = 8;

// The bytes before the first data: tables, data entries and strings, padded to the data
// alignment. False when a key appears twice or a table or name exceeds 65535 entries or
// characters.
bool ResourceTableSize(const std::vector<ResourceItem>& items, uint32_t& size, std::string& reason);

// The tables for items whose data lie at their offsets; sectionRva turns offsets into
// addresses. Exactly ResourceTableSize bytes.
ByteVector BuildResourceTables(const std::vector<ResourceItem>& items, uint32_t sectionRva);

// Orders two keys as the tables hold them: names (already upper case) by their UTF-16 units,
// then integers.
bool ResourceKeyLess(const ResourceKey& a, const ResourceKey& b);

// The platform records resource type and name texts in upper case: ASCII, Latin-1, Greek and
// Cyrillic letters are converted here, which covers the names of the code pages kits are
// packed in.
std::u16string UpperResourceName(std::u16string name);

}  // namespace pack
