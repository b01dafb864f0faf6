#include "services/memoryprofile.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kEntryStep = 64;
constexpr size_t kIntBuffer = 64;

bool IsLineBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string TrimLine(const char* text, size_t length) {
  size_t begin = 0;
  size_t end = length;
  while (begin < end && IsLineBlank(text[begin])) ++begin;
  while (end > begin && IsLineBlank(text[end - 1])) --end;
  return std::string(text + begin, end - begin);
}

unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

// Compares the first prefix.size() bytes of entry with prefix, ASCII letters without regard
// to case. Run mode reads the control file as UTF-8, where no byte of a multi-byte character
// is an ASCII letter.
bool StartsWithNoCase(const std::string& entry, const std::string& prefix) {
  if (entry.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    unsigned char a = static_cast<unsigned char>(entry[i]);
    unsigned char b = static_cast<unsigned char>(prefix[i]);
    if (FoldAscii(a) != FoldAscii(b)) return false;
  }
  return true;
}

}  // namespace

int LineCollector::Feed(bool final, size_t length, const char* text) {
  if (!text) length = 0;
  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] != '\n') continue;
    std::string line = std::move(pending_);
    pending_.clear();
    line.append(text + start, i - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    HandleLine(line.data(), line.size());
    start = i + 1;
  }
  if (start < length) pending_.append(text + start, length - start);
  if (final && !pending_.empty()) {
    std::string line = std::move(pending_);
    pending_.clear();
    HandleLine(line.data(), line.size());
  }
  return 0;
}

void LineCollector::HandleLine(const char* line, size_t length) {
  AddEntry(std::string(line, length));
}

void LineCollector::AddEntry(std::string entry) {
  if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.size() + kEntryStep);
  entries_.push_back(std::move(entry));
}

void MemoryProfile::HandleLine(const char* line, size_t length) {
  std::string text = TrimLine(line, length);
  if (text.empty()) return;
  if (text[0] == '#' || text.compare(0, 2, "//") == 0) return;
  if (text.size() > 3 && text.front() == '[' && text.back() == ']') {
    std::string name = TrimLine(text.data() + 1, text.size() - 2);
    if (!name.empty()) section_ = std::move(name);
    return;
  }
  size_t eq = text.find('=');
  if (eq == std::string::npos) return;
  std::string key = TrimLine(text.data(), eq);
  std::string value = text.substr(eq + 1);
  if (trimValues_) value = TrimLine(value.data(), value.size());
  AddEntry(section_ + "\\" + key + "=" + value);
}

const std::string* MemoryProfile::Find(const std::string& prefix) const {
  for (const std::string& entry : Entries()) {
    if (StartsWithNoCase(entry, prefix)) return &entry;
  }
  return nullptr;
}

bool MemoryProfile::GetValue(const char* section, const char* key, std::string& out) const {
  std::string prefix = std::string(section ? section : "") + "\\" + (key ? key : "") + "=";
  const std::string* entry = Find(prefix);
  if (!entry) return false;
  out = entry->substr(prefix.size());
  return true;
}

int MemoryProfile::GetString(const char* section, const char* key, const char* defaultValue,
                             char* buffer, int size) const {
  if (!buffer || size < 1) return 0;
  std::string prefix = std::string(section ? section : "") + "\\" + (key ? key : "") + "=";
  const char* value = defaultValue ? defaultValue : "";
  if (const std::string* entry = Find(prefix)) value = entry->c_str() + prefix.size();

  // The bounded print's contract: the length when it fits, the size when only the terminator
  // is missing, -1 when longer; the last byte of the buffer always ends the text.
  size_t length = std::strlen(value);
  size_t room = static_cast<size_t>(size);
  size_t copied = length < room ? length : room - 1;
  std::memcpy(buffer, value, copied);
  buffer[copied] = 0;
  if (length < room) return static_cast<int>(length);
  return length == room ? size : -1;
}

int MemoryProfile::GetInt(const char* section, const char* key, int defaultValue) const {
  // The value as a 64-character buffer holds it: longer ones read as absent, one of exactly 64
  // characters loses its last.
  std::string value;
  if (!GetValue(section, key, value) || value.size() > kIntBuffer) return defaultValue;
  if (value.size() == kIntBuffer) value.pop_back();
  if (value.empty()) return defaultValue;
  const char* buffer = value.c_str();
  // The trailing " %c" converts a second item, and so fails the form, when anything but
  // blanks follows the number.
  unsigned hex = 0;
  char extra = 0;
  if (std::sscanf(buffer, " 0x%8x %c", &hex, &extra) == 1) return static_cast<int>(hex);
  if (std::sscanf(buffer, " 0X%8x %c", &hex, &extra) == 1) return static_cast<int>(hex);
  unsigned octal = 0;
  if (std::sscanf(buffer, " 0%o %c", &octal, &extra) == 1) return static_cast<int>(octal);
  int decimal = 0;
  if (std::sscanf(buffer, "%d %c", &decimal, &extra) == 1) return decimal;
  if (std::sscanf(buffer, " %8x %c", &hex, &extra) == 1) return static_cast<int>(hex);
  return defaultValue;
}
