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
#include "services/tempname.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"
#include "services/win32/win32util.h"

namespace {

constexpr int kNoTempNameStatus = 32;
constexpr int kFatalErrorStatus = 1;
constexpr size_t kTrailingZeros = 6;

bool IsExistingDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Takes a free name by creating the file (CREATE_NEW fails when anything has that name). Two
// packers or kits started in the same second share the prefix and the directory; a name that
// were only looked at would be handed to both between one's choosing it and its first write,
// and one process would write over the other's data.
bool TakenOrClaimed(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;  // exists, or cannot be made: pass it over
  CloseHandle(file);
  return false;
}

struct TempNameState {
  bool started = false;
  std::string prefix;
  TempNameSequence sequence;
};

std::string CurrentDirectoryOrDot() {
  std::string dir = CurrentDirectory();
  return dir.empty() ? std::string(".\\") : dir;
}

TempNameState& TempNames() {
  static TempNameState state;
  return state;
}

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

void FatalError(const std::string& text) {
  ReportText(text);
  ExitWithStatus(kFatalErrorStatus);
}

void ExitWithStatus(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

std::string MakeTempFileName() {
  TempNameState& state = TempNames();
  if (!state.started) {
    state.prefix = TempNamePrefix(static_cast<uint32_t>(std::time(nullptr)));
    state.started = true;
  }
  TempNameProbes probes{IsExistingDirectory, TakenOrClaimed};
  std::string directory =
      ChooseTempDirectory(std::getenv("TMP"), std::getenv("TEMP"), CurrentDirectoryOrDot(), probes);
  std::string name = state.sequence.NextName(directory, state.prefix, probes);
  if (name.empty()) {
    ReportText(FormatToString("\nFatal error: failed to locate temporary filename '%s'\n",
                              name.c_str()));
    ExitWithStatus(kNoTempNameStatus);
  }
  return name;
}

bool ReadWholeFile(const std::string& path, bool binary, FileBytes& out) {
  out.bytes.clear();
  out.size = 0;
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!FileAttributesExAnyLength(path, info)) return false;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  unsigned long long size =
      (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > std::numeric_limits<size_t>::max() - kTrailingZeros) return false;

  UniqueStdioFile file(OpenFileAnyLength(path, binary ? "rb" : "r"));
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
