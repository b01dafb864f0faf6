#include "services/win32/longpath.h"

#include "platform.h"
#include "services/pathform.h"

namespace {

// GetFullPathNameW with a buffer that grows until the path fits; empty on failure.
std::wstring FullPath(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length == 0) return std::wstring();
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.assign(length + 1, L'\0');  // length counts the terminator when it did not fit
  }
  return std::wstring();
}

// The wide form of an ANSI path to give the wide file functions.
std::wstring Callable(const std::string& path) {
  return CallablePath(client_platform::AnsiToWide(path));
}

}  // namespace

std::wstring CallablePath(const std::wstring& path) {
  if (path.size() <= kPlainPathMaxChars) {
    std::wstring full = FullPath(path);
    if (full.empty() || full.size() <= kPlainPathMaxChars) return path;
  }
  if (path.find(L'\0') != std::wstring::npos) return path;
  std::wstring full = FullPath(path);
  std::wstring extended = full.empty() ? std::wstring() : ExtendedLengthForm(full);
  return extended.empty() ? path : extended;
}

bool IsPlainLengthPath(const std::string& path) {
  if (path.size() > kPlainPathMaxChars) return false;
  std::wstring full = FullPath(client_platform::AnsiToWide(path));
  return full.size() <= kPlainPathMaxChars;
}

std::wstring ExtendedPath(const std::string& path) {
  std::wstring wide = client_platform::AnsiToWide(path);
  // A zero inside would end the name early, naming another file.
  if (wide.empty() || wide.find(L'\0') != std::wstring::npos) return std::wstring();
  std::wstring full = FullPath(wide);
  if (full.empty()) return std::wstring();
  return ExtendedLengthForm(full);
}

FILE* OpenFileAnyLength(const std::string& path, const char* mode) {
  std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(Callable(path).c_str(), wideMode.c_str());
}

HANDLE CreateFileAnyLength(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                           DWORD flags) {
  return CreateFileW(Callable(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
}

DWORD FileAttributesAnyLength(const std::string& path) {
  return GetFileAttributesW(Callable(path).c_str());
}

BOOL FileAttributesExAnyLength(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return GetFileAttributesExW(Callable(path).c_str(), GetFileExInfoStandard, &data);
}

BOOL MoveFileAnyLength(const std::string& from, const std::string& to, DWORD flags) {
  return MoveFileExW(Callable(from).c_str(), Callable(to).c_str(), flags);
}

BOOL DeleteFileAnyLength(const std::string& path) { return DeleteFileW(Callable(path).c_str()); }
