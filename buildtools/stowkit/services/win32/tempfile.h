// Temporary files of both modes: a name claimed by creating its file, owned until released.
#pragma once

#include <string>

// A claimed temporary file. The owner deletes it when it goes out of scope unless it was
// released, so no failure path leaves one behind.
class TempFile {
 public:
  TempFile() = default;
  explicit TempFile(std::wstring path) : path_(std::move(path)) {}
  ~TempFile() { Remove(); }
  TempFile(TempFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  TempFile& operator=(TempFile&& other) noexcept;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  explicit operator bool() const { return !path_.empty(); }
  const std::wstring& path() const { return path_; }
  // The name in the ANSI code page, for messages and the install log.
  std::string DisplayName() const;
  // Deletes the file now; false when it is still there afterwards.
  bool Remove();
  // Keeps the file: the owner forgets it.
  void Release() { path_.clear(); }

 private:
  std::wstring path_;
};

// Claims "<dir>\_stowkit_tmp<start time %08X>.<n>" (n counting from 2 within the process) by
// creating it as an empty file: another process started in the same second shares the prefix,
// and a name that were only looked at could be handed to both. The directory is the TMP
// variable's, else TEMP's, else the current directory. A directory that refuses new files, or
// that does not exist, ends the search at once. When no name can be claimed, throws FatalEnd
// with status 32 and "\nFatal error: failed to locate temporary filename ''\n".
TempFile ClaimTempFile();
