// The kit's control file is read from memory, not from a file, so the system's profile calls
// cannot read it. LineCollector cuts fed text into lines; MemoryProfile reads those lines as an
// INI file and answers look-ups in the manner of the private-profile calls.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Something that can be fed text in pieces.
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual int Feed(bool final, size_t length, const char* text) {
    (void)final;
    (void)length;
    (void)text;
    return 0;
  }
};

class LineCollector : public TextSink {
 public:
  LineCollector() = default;
  ~LineCollector() override = default;
  LineCollector(const LineCollector&) = delete;
  LineCollector& operator=(const LineCollector&) = delete;

  // Cuts text at every line feed (one carriage return before it is dropped) and hands each
  // line to HandleLine. Text after the last line feed waits for the next Feed, unless final
  // is set: then it is the last line. Returns 0.
  int Feed(bool final, size_t length, const char* text) override;

  // Keeps the line as an entry.
  virtual void HandleLine(const char* line, size_t length);

  const std::vector<std::string>& Entries() const { return entries_; }

 protected:
  void AddEntry(std::string entry);

 private:
  std::string pending_;
  std::vector<std::string> entries_;
};

class MemoryProfile : public LineCollector {
 public:
  explicit MemoryProfile(void* instance) : instance_(instance) {}
  ~MemoryProfile() override = default;

  // INI syntax: "#" and "//" comment lines, "[section]" headers longer than 3 characters,
  // KEY = VALUE lines stored as "section\KEY=VALUE" in file order.
  void HandleLine(const char* line, size_t length) override;

  // Copies the value of the first entry whose section and key match (without regard to
  // case), else the default (null: empty), into buffer, cut to size - 1 characters. Returns
  // the value's length when it fits, size when it has exactly size characters (the copy lost
  // its last one), -1 when it is longer; 0 without copying when buffer is null or size < 1.
  int GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                int size) const;

  // The whole value of the first entry whose section and key match (without regard to case);
  // false, out unchanged, when there is none.
  bool GetValue(const char* section, const char* key, std::string& out) const;

  // The value read as 0x/0X hexadecimal, 0-octal, decimal, or bare hexadecimal (in that
  // order), with nothing but blanks after the number; otherwise defaultValue.
  int GetInt(const char* section, const char* key, int defaultValue) const;

  void SetTrimValues(bool on) { trimValues_ = on; }
  void* Instance() const { return instance_; }


 private:
  // The value of the first matching entry, or null.
  const std::string* Find(const std::string& prefix) const;

  void* instance_;
  std::string section_;
  bool trimValues_ = false;
};
