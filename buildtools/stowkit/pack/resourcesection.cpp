#include "pack/resourcesection.h"

#include <algorithm>
#include <map>

#include "formatstring.h"

namespace pack {

namespace {

constexpr uint32_t kDirBytes = 16;
constexpr uint32_t kEntryBytes = 8;
constexpr uint32_t kDataEntryBytes = 16;
constexpr uint32_t kHighBit = 0x80000000u;

uint32_t Align(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }


struct KeyLess {
  bool operator()(const ResourceKey& a, const ResourceKey& b) const { return ResourceKeyLess(a, b); }
};

// type -> name -> language -> index into items
using LanguageMap = std::map<uint16_t, size_t>;
using NameMap = std::map<ResourceKey, LanguageMap, KeyLess>;
using TypeMap = std::map<ResourceKey, NameMap, KeyLess>;

bool BuildTree(const std::vector<ResourceItem>& items, TypeMap& tree, std::string& reason) {
  for (size_t i = 0; i < items.size(); ++i) {
    const ResourceItem& item = items[i];
    for (const ResourceKey* key : {&item.type, &item.name}) {
      if (key->text.size() > 0xFFFF) {
        reason = "a resource name is longer than 65535 characters";
        return false;
      }
    }
    LanguageMap& languages = tree[item.type][item.name];
    if (!languages.emplace(item.language, i).second) {
      reason = "a resource is named twice";
      return false;
    }
  }
  if (tree.size() > 0xFFFF) {
    reason = "more than 65535 resource types";
    return false;
  }
  for (const auto& type : tree) {
    if (type.second.size() > 0xFFFF) {
      reason = "more than 65535 resources of one type";
      return false;
    }
  }
  return true;
}

struct Sizes {
  uint32_t tables = 0;   // all directory tables
  uint32_t entries = 0;  // data entries
  uint32_t strings = 0;  // name strings
};

Sizes Measure(const TypeMap& tree) {
  Sizes s;
  s.tables = kDirBytes + kEntryBytes * static_cast<uint32_t>(tree.size());
  for (const auto& type : tree) {
    if (type.first.IsName()) s.strings += 2 + 2 * static_cast<uint32_t>(type.first.text.size());
    s.tables += kDirBytes + kEntryBytes * static_cast<uint32_t>(type.second.size());
    for (const auto& name : type.second) {
      if (name.first.IsName()) s.strings += 2 + 2 * static_cast<uint32_t>(name.first.text.size());
      s.tables += kDirBytes + kEntryBytes * static_cast<uint32_t>(name.second.size());
      s.entries += kDataEntryBytes * static_cast<uint32_t>(name.second.size());
    }
  }
  return s;
}

template <class Map>
uint16_t NamedCount(const Map& map) {
  uint16_t named = 0;
  for (const auto& e : map) named += e.first.IsName() ? 1 : 0;
  return named;
}

void PutDirectory(ByteVector& out, uint16_t named, size_t total) {
  Put32(out, 0);  // characteristics
  Put32(out, 0);  // time stamp: none, so the bytes depend on the input only
  Put16(out, 4);  // version 4.0, as the platform writes it
  Put16(out, 0);
  Put16(out, named);
  Put16(out, static_cast<uint16_t>(total - named));
}


}  // namespace

char16_t UpperResourceChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);  // Latin-1
  if (c == 0xFF) return 0x178;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);  // Greek
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);  // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

std::u16string UpperResourceName(std::u16string name) {
  for (char16_t& c : name) c = UpperResourceChar(c);
  return name;
}

bool ResourceKeyLess(const ResourceKey& a, const ResourceKey& b) {
  if (a.IsName() != b.IsName()) return a.IsName();
  if (!a.IsName()) return a.id < b.id;
  return a.text < b.text;
}

bool ResourceTableSize(const std::vector<ResourceItem>& items, uint32_t& size, std::string& reason) {
  TypeMap tree;
  if (!BuildTree(items, tree, reason)) return false;
  Sizes s = Measure(tree);
  size = Align(s.tables + s.entries + s.strings, kResourceDataAlignment);
  return true;
}

ByteVector BuildResourceTables(const std::vector<ResourceItem>& items, uint32_t sectionRva) {
  TypeMap tree;
  std::string reason;
  BuildTree(items, tree, reason);
  Sizes s = Measure(tree);
  ByteVector out;
  out.reserve(Align(s.tables + s.entries + s.strings, kResourceDataAlignment));

  uint32_t nextTable = kDirBytes + kEntryBytes * static_cast<uint32_t>(tree.size());
  uint32_t nextEntry = s.tables;
  uint32_t nextString = s.tables + s.entries;
  ByteVector strings;
  auto nameWord = [&](const ResourceKey& key) -> uint32_t {
    if (!key.IsName()) return key.id;
    uint32_t at = nextString + static_cast<uint32_t>(strings.size());
    Put16(strings, static_cast<uint16_t>(key.text.size()));
    for (char16_t c : key.text) Put16(strings, static_cast<uint16_t>(c));
    return at | kHighBit;
  };

  // Root, then one table per type, then one per name, each level in order.
  PutDirectory(out, NamedCount(tree), tree.size());
  for (const auto& type : tree) {
    Put32(out, nameWord(type.first));
    Put32(out, nextTable | kHighBit);
    nextTable += kDirBytes + kEntryBytes * static_cast<uint32_t>(type.second.size());
  }
  for (const auto& type : tree) {
    PutDirectory(out, NamedCount(type.second), type.second.size());
    for (const auto& name : type.second) {
      Put32(out, nameWord(name.first));
      Put32(out, nextTable | kHighBit);
      nextTable += kDirBytes + kEntryBytes * static_cast<uint32_t>(name.second.size());
    }
  }
  ByteVector entries;
  for (const auto& type : tree) {
    for (const auto& name : type.second) {
      PutDirectory(out, 0, name.second.size());
      for (const auto& language : name.second) {
        Put32(out, language.first);
        Put32(out, nextEntry);
        nextEntry += kDataEntryBytes;
        const ResourceItem& item = items[language.second];
        Put32(entries, sectionRva + item.offset);
        Put32(entries, item.size);
        Put32(entries, 0);  // code page
        Put32(entries, 0);
      }
    }
  }
  out.insert(out.end(), entries.begin(), entries.end());
  out.insert(out.end(), strings.begin(), strings.end());
  out.resize(Align(static_cast<uint32_t>(out.size()), kResourceDataAlignment), 0);
  return out;
}

}  // namespace pack
