#include "pack/profilereader.h"

#include "services/textutil.h"

namespace pack {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || (c >= 0x09 && c <= 0x0D); }

// Only ASCII letters match regardless of case (an accented capital is another name).
bool SameName(const std::u16string& a, const std::u16string& b) { return SameAsciiCaseless(a, b); }

std::u16string Trim(const std::u16string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// One pair of enclosing quotes of the same kind goes.
std::u16string Unquote(const std::u16string& value) {
  if (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

std::u16string ProfileReader::DecodeFile(const uint8_t* data, size_t size,
                                         const CodePageDecoder& decodeAnsi) {
  std::u16string text;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    for (size_t at = 2; at + 1 < size; at += 2) text.push_back(static_cast<char16_t>(data[at] | (data[at + 1] << 8)));
    return text;
  }
  if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
    for (size_t at = 2; at + 1 < size; at += 2) text.push_back(static_cast<char16_t>((data[at] << 8) | data[at + 1]));
    return text;
  }
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    return Utf16FromUtf8(std::string(reinterpret_cast<const char*>(data) + 3, size - 3));
  }
  return decodeAnsi(std::string(reinterpret_cast<const char*>(data), size));
}

ProfileReader::ProfileReader(const uint8_t* data, size_t size, const CodePageDecoder& decodeAnsi) {
  std::u16string text = DecodeFile(data, size, decodeAnsi);
  // Lines before the first header belong to a section without a name.
  sections_.push_back(Section{});
  Section* current = &sections_.back();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size() && text[end] != u'\n' && text[end] != u'\r') ++end;
    std::u16string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    if (line[0] == u'[') {
      // A header ends at its last ']'; a line that opens one without closing it is ignored.
      size_t close = line.rfind(u']');
      if (close != std::u16string::npos) {
        sections_.push_back(Section{Trim(line.substr(1, close - 1)), {}});
        current = &sections_.back();
      }
      continue;
    }
    Entry entry;
    size_t equals = line.find(u'=');
    if (equals == std::u16string::npos) {
      entry.name = line;
    } else {
      entry.name = Trim(line.substr(0, equals));
      entry.value = Trim(line.substr(equals + 1));
      entry.hasValue = true;
    }
    current->entries.push_back(entry);
  }
}

const ProfileReader::Section* ProfileReader::FindSection(const std::u16string& name) const {
  std::u16string trimmed = Trim(name);
  for (const Section& section : sections_) {
    if (SameName(section.name, trimmed)) return &section;
  }
  return nullptr;
}

bool ProfileReader::Find(const std::u16string& section, const std::u16string& key,
                         std::u16string& value) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return false;
  for (const Entry& entry : found->entries) {
    if (entry.hasValue && SameName(entry.name, key)) {
      value = Unquote(entry.value);
      return true;
    }
  }
  return false;
}

std::vector<std::u16string> ProfileReader::Keys(const std::u16string& section) const {
  std::vector<std::u16string> keys;
  const Section* found = FindSection(section);
  if (found == nullptr) return keys;
  for (const Entry& entry : found->entries) {
    if (!entry.hasValue || entry.name.empty() || entry.name[0] == u';') continue;
    keys.push_back(entry.name);
  }
  return keys;
}

}  // namespace pack
