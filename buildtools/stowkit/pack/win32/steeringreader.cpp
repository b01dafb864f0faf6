// The steering file through the platform's profile reader. Buffers grow until a value or a key
// list fits, so nothing is cut into another path and every [FILES] key is seen; only
// DESCRIPTION keeps its 255-character limit. The profile reader takes plain-length paths
// only, so a longer steering file is read through a temporary copy of its bytes.
#include <windows.h>

#include <cstdio>

#include "pack/win32/packwin32.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"
#include "platform.h"
#include "services/win32/services.h"
#include "services/win32/tempfile.h"

namespace pack {

namespace {
// Far beyond any steering file; only guards against a reader that never reports a fit.
constexpr DWORD kMaxProfileBuffer = 64u * 1024 * 1024;
}

bool Win32SteeringPlatform::ReadSteeringBytes(const std::string& path, std::vector<uint8_t>& bytes,
                                              SystemError& error) {
  bool longPath = !IsPlainLengthPath(path);
  if (longPath) longPath_ = path;
  FileBytes file;
  if (!ReadWholeFile(path, true, file)) {
    error = CaptureSystemError();
    return false;
  }
  if (longPath && !MakeProfileCopy(file, error)) return false;
  bytes.assign(file.bytes.begin(), file.bytes.begin() + file.size);
  return true;
}

Win32SteeringPlatform::~Win32SteeringPlatform() = default;

bool Win32SteeringPlatform::MakeProfileCopy(const FileBytes& file, SystemError& error) {
  TempFile copy = ClaimTempFile();
  // The profile reader takes an 8-bit path of plain length.
  std::string name = Utf16ToAnsi(std::u16string(copy.path().begin(), copy.path().end()));
  if (!IsPlainLengthPath(name) || client_platform::AnsiToWide(name) != copy.path()) {
    error = SystemErrorFor(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  UniqueStdioFile out(_wfopen(copy.path().c_str(), L"wb"));
  bool written = out && std::fwrite(file.data(), 1, file.size, out.get()) == file.size;
  if (!out || !out.reset() || !written) {
    error = CaptureSystemError();
    if (error.code == ERROR_SUCCESS) error = SystemErrorFor(ERROR_WRITE_FAULT);
    return false;
  }
  copyPath_ = name;
  copy_ = std::move(copy);
  return true;
}

const std::string* Win32SteeringPlatform::ProfilePath(const std::string& path) const {
  if (longPath_.empty() || path != longPath_) return &path;
  return copyPath_.empty() ? nullptr : &copyPath_;
}

std::u16string Win32SteeringPlatform::AnsiToUtf16(const std::string& text) {
  return ::AnsiToUtf16(text);
}

std::string Win32SteeringPlatform::Utf16ToAnsi(const std::u16string& text) {
  return ::Utf16ToAnsi(text);
}

std::string Win32SteeringPlatform::ProfileString(const std::string& path, const char* section,
                                                 const char* key, const std::string& defaultValue,
                                                 size_t maxChars) {
  const std::string* file = ProfilePath(path);
  if (file == nullptr) {
    return maxChars && defaultValue.size() > maxChars ? defaultValue.substr(0, maxChars)
                                                      : defaultValue;
  }
  DWORD size = maxChars ? static_cast<DWORD>(maxChars + 1) : 4096;
  for (;;) {
    std::string buffer(size, '\0');
    DWORD length = GetPrivateProfileStringA(section, key, defaultValue.c_str(), &buffer[0], size,
                                            file->c_str());
    // A value that fills the buffer to its last character may have been cut.
    if (maxChars || length + 1 < size || size >= kMaxProfileBuffer) {
      buffer.resize(length < size ? length : size - 1);
      return buffer;
    }
    size *= 2;
  }
}

std::vector<std::string> Win32SteeringPlatform::ProfileKeys(const std::string& path,
                                                            const char* section) {
  const std::string* file = ProfilePath(path);
  if (file == nullptr) return {};
  DWORD size = 4096;
  for (;;) {
    std::string buffer(size, '\0');
    DWORD length =
        GetPrivateProfileStringA(section, nullptr, "", &buffer[0], size, file->c_str());
    // A cut list comes back as size - 2 characters (without its final terminator under some
    // readers), so only a shorter one is known to be whole.
    if (length + 2 < size || size >= kMaxProfileBuffer) {
      std::vector<std::string> keys;
      size_t end = length < size ? length : size;
      for (size_t start = 0; start < end;) {
        size_t stop = buffer.find('\0', start);
        if (stop == std::string::npos || stop > end) stop = end;
        if (stop > start) keys.push_back(buffer.substr(start, stop - start));
        start = stop + 1;
      }
      return keys;
    }
    size *= 2;
  }
}

bool Win32SteeringPlatform::PathExists(const std::string& path, SystemError& error) {
  // The file-attribute query rather than the shell's path test, which refuses any path beyond
  // 260 characters before asking the file system.
  if (FileAttributesAnyLength(path) != INVALID_FILE_ATTRIBUTES) return true;
  error = CaptureSystemError();
  return false;
}

}  // namespace pack
