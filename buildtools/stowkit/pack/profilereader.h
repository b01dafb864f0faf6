// A portable reader for steering files that answers as the platform's private-profile reader
// does for the rules pack mode relies on: section and key names matched without regard to
// case, the first of duplicate keys wins, blanks around names and values dropped, one pair of
// enclosing quotes removed from a value, comment lines (';') and lines without '=' not listed
// as keys, keys listed in file order, 8-bit files in a given code page and UTF-16 or UTF-8
// files with their byte-order mark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pack {

using CodePageDecoder = std::function<std::u16string(const std::string&)>;

class ProfileReader {
 public:
  // The file's bytes; an 8-bit file is decoded with decodeAnsi.
  ProfileReader(const uint8_t* data, size_t size, const CodePageDecoder& decodeAnsi);

  // The value of the first such key of the first such section, quotes removed; false when
  // the section or the key is not there.
  bool Find(const std::u16string& section, const std::u16string& key, std::u16string& value) const;
  // Every key of the section in file order (duplicates included).
  std::vector<std::u16string> Keys(const std::u16string& section) const;

  // The file's text as the reader sees it.
  static std::u16string DecodeFile(const uint8_t* data, size_t size,
                                   const CodePageDecoder& decodeAnsi);

 private:
  struct Entry {
    std::u16string name;
    std::u16string value;
    bool hasValue = false;
  };
  struct Section {
    std::u16string name;
    std::vector<Entry> entries;
  };
  const Section* FindSection(const std::u16string& name) const;

  std::vector<Section> sections_;
};

}  // namespace pack
