// Removal of what the kit unpacked, once the installer has ended.
#include <windows.h>

#include <string>

#include "formatstring.h"
#include "run/runsteps.h"
#include "run/win32/runner.h"
#include "services/win32/handles.h"

namespace {
constexpr DWORD kPauseBeforeCleanUpMs = 5000;
}  // namespace

int DeleteDirectoryTree(const std::string& directory) {
  WIN32_FIND_DATAA found;
  UniqueFindHandle search(FindFirstFileA(AppendPath(directory, "*").c_str(), &found));
  if (!search) return 0;
  int deleted = 0;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = AppendPath(directory, name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      LogLine(DeletingTreeLine(path));
      // A junction or link the installer left behind is removed as a link: what it points
      // to lies outside the working directory and is not ours to delete.
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        deleted += DeleteDirectoryTree(path);
      }
      LogLine(DeletingDirectoryLine(path));
      if (RemoveDirectoryA(path.c_str())) {
        ++deleted;
      } else {
        ShowRunnerMessage(FormatToString("Failure: failed to remove directory '%s'", path.c_str()));
      }
    } else {
      LogLine(DeletingFileLine(path));
      if (DeleteFileA(path.c_str())) {
        ++deleted;
      } else {
        ShowRunnerMessage(FormatToString("Failure: failed to delete file '%s'", path.c_str()));
      }
    }
  } while (FindNextFileA(search.get(), &found));
  return deleted;
}

void CleanUpWorkingDirectory(const std::string& workDir, const std::string& startDir) {
  // Gives processes the installer started a moment to let go of the files.
  Sleep(kPauseBeforeCleanUpMs);
  DeleteDirectoryTree(workDir);
  if (!SetCurrentDirectoryA(startDir.c_str())) {
    ShowRunnerMessage("Failure: could not reset working directory");
  }
  if (!RemoveDirectoryA(workDir.c_str())) {
    ShowRunnerMessage("Failure: could not delete temporary directory");
  }
}
