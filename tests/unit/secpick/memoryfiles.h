// In-memory files and a Latin-1 code page for driving the section extractor without a disk.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fileholder.h"
#include "section.h"

namespace secpick_testing {

using secpick::ByteSource;
using secpick::LineSink;
using secpick::OpenMode;

// Bytes <-> units one to one; units above 0xFF become '?', as a code page's default character.
class Latin1CodePage : public secpick::CodePage {
 public:
  std::wstring ToWide(const std::string& text) override {
    std::wstring wide;
    for (char c : text) wide.push_back(static_cast<unsigned char>(c));
    return wide;
  }
  std::string ToNarrow(const std::wstring& text) override {
    std::string narrow;
    for (wchar_t c : text) narrow.push_back(c > 0xFF ? '?' : static_cast<char>(c));
    return narrow;
  }
};

class MemoryFiles : public secpick::SectionFiles {
 public:
  std::map<std::wstring, std::string> inputs;
  std::map<std::wstring, std::string> outputs;  // created outputs, lines ending in "\n"
  std::vector<OpenMode> inputModes;             // every successful input open, in order
  int inputOpensAllowed = 1 << 30;              // later opens fail as if the file vanished
  size_t failReadAt = std::string::npos;        // byte offset at which reading fails
  bool failRewind = false;
  bool failCreate = false;
  int writesAllowed = 1 << 30;

  std::unique_ptr<ByteSource> OpenInput(const std::wstring& path, OpenMode mode,
                                        const wchar_t* errorFormat) override {
    auto it = inputs.find(path);
    if (it == inputs.end() || inputOpensAllowed-- <= 0) {
      if (errorFormat) secpick::RaiseOpenError(errorFormat, path, __FILE__, __LINE__);
      return nullptr;
    }
    inputModes.push_back(mode);
    return std::make_unique<Source>(it->second, *this);
  }

  std::unique_ptr<LineSink> CreateOutput(const std::wstring& path) override {
    if (failCreate) return nullptr;
    outputs[path].clear();
    return std::make_unique<Sink>(outputs[path], *this);
  }

 private:
  class Source : public ByteSource {
   public:
    Source(const std::string& data, MemoryFiles& owner) : data_(data), owner_(owner) {}
    int ReadByte() override {
      if (pos_ == owner_.failReadAt) failed_ = true;
      if (failed_ || pos_ >= data_.size()) return -1;
      return static_cast<unsigned char>(data_[pos_++]);
    }
    bool Rewind() override {
      pos_ = 0;
      return !owner_.failRewind;
    }
    bool Failed() const override { return failed_; }

   private:
    const std::string& data_;
    MemoryFiles& owner_;
    size_t pos_ = 0;
    bool failed_ = false;
  };

  class Sink : public LineSink {
   public:
    Sink(std::string& text, MemoryFiles& owner) : text_(text), owner_(owner) {}
    bool WriteLine(const std::string& line) override {
      if (owner_.writesAllowed-- <= 0) return false;
      text_ += line + "\n";
      return true;
    }
    bool Close() override { return true; }

   private:
    std::string& text_;
    MemoryFiles& owner_;
  };
};

// UTF-16 little-endian bytes of a text given as units.
inline std::string Utf16(const std::u16string& text) {
  std::string bytes;
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

}  // namespace secpick_testing
