// The version-information resource of a kit, as exact bytes: a root block with the fixed file
// information, one StringFileInfo table (language 0x0809, code page 1200) and one Translation.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "services/bytewriter.h"

namespace pack {

using AnsiToUtf16Function = std::function<std::u16string(const std::string&)>;

// One block while it is built; every multi-byte number little-endian.
class VersionBlock {
 public:
  explicit VersionBlock(AnsiToUtf16Function toUtf16) : toUtf16_(std::move(toUtf16)) {}
  // The three header words, wLength 0 until Close.
  void Begin(uint16_t valueLength, uint16_t type);
  // The key in UTF-16 with its terminating zero.
  void AppendKey(const std::string& key);
  void AlignTo4();
  void AppendBytes(const ByteVector& bytes);
  void AppendBlock(const VersionBlock& other);
  // Stores the length into wLength; false when it exceeds 65535 (the block is then unusable).
  bool Close();
  const ByteVector& Bytes() const { return bytes_; }
  std::u16string ToUtf16(const std::string& text) const { return toUtf16_(text); }

 private:
  AnsiToUtf16Function toUtf16_;
  ByteVector bytes_;
};

struct VersionInputs {
  std::map<std::string, std::string> values;  // upper-case -verinfo keys
  std::string outputPath;                     // the -create value
  int year = 0;                               // local calendar year, for the default copyright
  uint64_t fileTime = 0;                      // system time, 100 ns units since 1601
};

// The whole resource. False with a reason (for the error text) when a version number lies
// outside 0..65535 or a block would be longer than 65535 bytes.
bool BuildVersionResourceBytes(const VersionInputs& inputs, const AnsiToUtf16Function& toUtf16,
                               ByteVector& out, std::string& reason);

// The file-name part of a path as the shell finds it: after the last '\', '/' or ':' that is
// followed by a name.
std::string PathFileName(const std::string& path);

// A Latin-1 conversion (each byte one code unit), for builds without a code-page service.
std::u16string Latin1ToUtf16(const std::string& text);

}  // namespace pack
