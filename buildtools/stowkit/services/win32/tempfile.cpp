#include "services/win32/tempfile.h"

#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "formatstring.h"
#include "services/fatalend.h"
#include "services/tempname.h"
#include "services/win32/codepage.h"
#include "services/win32/longpath.h"

namespace {

struct TempNameState {
  bool started = false;
  std::string prefix;
  TempNameSequence sequence;
};

TempNameState& TempNames() {
  static TempNameState state;
  return state;
}

bool IsExistingDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesW(CallablePath(WideFromUtf8(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

NameClaim Claim(const std::string& path) {
  std::wstring wide = CallablePath(WideFromUtf8(path));
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return NameClaim::kClaimed;
  }
  DWORD error = GetLastError();
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return NameClaim::kTaken;
  // A folder of that name, or a file being deleted, refuses access too; only a directory that
  // refuses every new name ends the search.
  if (error == ERROR_ACCESS_DENIED && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return NameClaim::kTaken;
  }
  return NameClaim::kRefused;
}

std::string Variable(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? Utf8FromWide(value) : std::string();
}

std::string CurrentDirectoryOrDot() {
  DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed != 0) {
    std::wstring dir(needed, L'\0');
    DWORD got = GetCurrentDirectoryW(needed, &dir[0]);
    if (got != 0 && got < needed) return Utf8FromWide(dir.substr(0, got));
  }
  return ".\\";
}

}  // namespace

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    Remove();
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

std::string TempFile::DisplayName() const { return AnsiFromUtf8(Utf8FromWide(path_)); }

bool TempFile::Remove() {
  if (path_.empty()) return true;
  std::wstring callable = CallablePath(path_);
  bool gone = DeleteFileW(callable.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  path_.clear();
  return gone;
}

TempFile ClaimTempFile() {
  TempNameState& state = TempNames();
  if (!state.started) {
    state.prefix = TempNamePrefix(static_cast<uint32_t>(std::time(nullptr)));
    state.started = true;
  }
  TempNameProbes probes{IsExistingDirectory, Claim};
  std::string tmp = Variable(L"TMP");
  std::string temp = Variable(L"TEMP");
  std::string directory =
      ChooseTempDirectory(tmp.c_str(), temp.c_str(), CurrentDirectoryOrDot(), probes);
  std::string name = state.sequence.NextName(directory, state.prefix, probes);
  if (name.empty()) {
    throw FatalEnd{kNoTempNameStatus,
                   FormatToString("\nFatal error: failed to locate temporary filename '%s'\n",
                                  name.c_str())};
  }
  return TempFile(WideFromUtf8(name));
}
