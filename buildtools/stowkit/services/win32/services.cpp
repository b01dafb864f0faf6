#include "services/win32/services.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "clientexception.h"
#include "formatstring.h"
#include "platform.h"
#include "services/fatalend.h"
#include "services/win32/codepage.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"
#include "services/win32/win32util.h"

namespace {

constexpr size_t kTrailingZeros = 6;

}  // namespace

ReportSettings& Reporting() {
  static ReportSettings settings;
  return settings;
}

void ReportText(const std::string& text) {
  ReportSettings& settings = Reporting();
  if (settings.messageBoxes && !settings.quiet) {
    // Only the first text of the process gets a box; a cascade of follow-up errors would
    // otherwise bury it.
    if (settings.boxesShown == 0) {
      MessageBoxA(nullptr, text.c_str(), settings.caption.c_str(), kReportBoxStyle);
      ++settings.boxesShown;
    }
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void FatalError(const std::string& text) { throw FatalEnd{kFatalErrorStatus, text}; }

void ExitWithStatus(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

bool ReadWholeFile(const std::string& path, bool binary, FileBytes& out) {
  return ReadWholeFile(client_platform::AnsiToWide(path), binary, out);
}

bool ReadWholeFile(const std::wstring& path, bool binary, FileBytes& out) {
  out.bytes.clear();
  out.size = 0;
  std::wstring callable = CallablePath(path);
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(callable.c_str(), GetFileExInfoStandard, &info)) return false;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  unsigned long long size =
      (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > std::numeric_limits<size_t>::max() - kTrailingZeros) return false;

  UniqueStdioFile file(_wfopen(callable.c_str(), binary ? L"rb" : L"r"));
  if (!file) return false;
  std::vector<unsigned char> buffer;
  try {
    buffer.resize(static_cast<size_t>(size) + kTrailingZeros);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  // Asking for more than the size finds out whether the file grew since it was measured.
  size_t read = std::fread(buffer.data(), 1, buffer.size(), file.get());
  if (read != size) return false;
  // The buffer came zero-filled, so the six bytes after the data already end an 8-bit or
  // 16-bit text.
  out.bytes = std::move(buffer);
  out.size = read;
  return true;
}
