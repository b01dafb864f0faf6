#include "run/win32/cleanup.h"

#include <windows.h>

#include "formatstring.h"
#include "run/installlog.h"
#include "run/win32/report.h"
#include "services/win32/codepage.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"

namespace run {

namespace {
constexpr DWORD kPauseBeforeCleanUpMs = 5000;
}  // namespace

int DeleteDirectoryTree(const std::wstring& directory) {
  WIN32_FIND_DATAW found;
  UniqueFindHandle search(FindFirstFileW(CallablePath(directory + L"\\*").c_str(), &found));
  if (!search) return 0;
  int deleted = 0;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = directory + L"\\" + name;
    std::string shown = Utf8FromWide(path);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      LogLine(DeletingTreeLine(shown));
      // A junction or link the installer left behind is removed as a link: what it points
      // to lies outside the working directory and is not ours to delete.
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        deleted += DeleteDirectoryTree(path);
      }
      LogLine(DeletingDirectoryLine(shown));
      if (RemoveDirectoryW(CallablePath(path).c_str())) {
        ++deleted;
      } else {
        ShowRunnerMessage(FormatToString("Failure: failed to remove directory '%s'", shown.c_str()));
      }
    } else {
      LogLine(DeletingFileLine(shown));
      if (DeleteFileW(CallablePath(path).c_str())) {
        ++deleted;
      } else {
        ShowRunnerMessage(FormatToString("Failure: failed to delete file '%s'", shown.c_str()));
      }
    }
  } while (FindNextFileW(search.get(), &found));
  return deleted;
}

void CleanUpWorkingDirectory(const std::wstring& workDir, const std::wstring& startDir,
                             bool pause) {
  if (pause) Sleep(kPauseBeforeCleanUpMs);
  DeleteDirectoryTree(workDir);
  if (!SetCurrentDirectoryW(startDir.c_str())) {
    ShowRunnerMessage("Failure: could not reset working directory");
  }
  if (!RemoveDirectoryW(CallablePath(workDir).c_str())) {
    ShowRunnerMessage("Failure: could not delete temporary directory");
  }
}

}  // namespace run
