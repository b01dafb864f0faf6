// The files of secpick as C runtime streams: FileHolder owns one open stream, and
// StdioSectionFiles hands out the input and output streams the extractor asks for.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "section.h"

namespace secpick {

// Raises CClientException (by pointer) made of format and path, carrying the last platform
// error code and the caller's source location.
[[noreturn]] void RaiseOpenError(const wchar_t* format, const std::wstring& path,
                                 const char* sourceFile, int sourceLine);

class FileHolder {
 public:
  FileHolder() = default;
  ~FileHolder() { Close(); }
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

  // Closes any stream held, then opens path with the C runtime mode ("rb", "rt", "wt", ...).
  // On failure: raises through RaiseOpenError when errorFormat is given, else returns false and
  // holds no stream.
  bool Open(const std::wstring& path, const wchar_t* mode, const wchar_t* errorFormat = nullptr);
  // Closes the stream if there is one and forgets the path; false when closing failed.
  bool Close();

  std::FILE* Stream() const { return stream_; }
  const std::wstring& Path() const { return path_; }

 private:
  std::FILE* stream_ = nullptr;
  std::wstring path_;
};

class StdioSectionFiles : public SectionFiles {
 public:
  std::unique_ptr<ByteSource> OpenInput(const std::wstring& path, OpenMode mode,
                                        const wchar_t* errorFormat) override;
  std::unique_ptr<LineSink> CreateOutput(const std::wstring& path) override;
};

}  // namespace secpick
