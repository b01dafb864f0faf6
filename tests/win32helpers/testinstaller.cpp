// testinstaller: stands in for the installer a kit starts. It appends one JSON line that
// describes how it was started to the file named by STOWKIT_TEST_RECORD (standard output
// when unset), then ends with the status from "--exit N" (or STOWKIT_TEST_EXIT, else 0).
// "--sleep MS" makes it pause before it ends. "--leave-deep N" leaves behind, after the
// record, a folder N levels of 50 characters deep (beyond the 260-character path limit) with a
// file at the bottom and one named in Cyrillic, for the kit's clean-up to remove.
//
// Record fields:
//   pid, exit (unsigned), cmdline and argv (8-bit: GetCommandLineA and the C runtime's
//   argv, each byte as the code point of the same number), cmdline_w (GetCommandLineW),
//   cwd, install_logfile (null when unset), files: [{"path": relative, "size": N,
//   "dir": bool}...] below the current directory, sorted, and files_truncated.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "helpers.h"

using namespace helpers;

namespace {

// Bounds the walk: a test that runs the installer in a drive root must not stall.
const size_t kMaxEntries = 5000;
const int kMaxDepth = 12;

struct Entry {
  std::wstring path;
  unsigned long long size;
  bool dir;
};

void Walk(const std::wstring& dir, const std::wstring& prefix, int depth,
          std::vector<Entry>& out, bool& truncated) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (out.size() >= kMaxEntries) {
      truncated = true;
      break;
    }
    bool isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    std::wstring rel = prefix.empty() ? name : prefix + L"\\" + name;
    unsigned long long size = isDir ? 0 : ((unsigned long long)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
    out.push_back({rel, size, isDir});
    if (isDir && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      if (depth >= kMaxDepth)
        truncated = true;
      else
        Walk(dir + L"\\" + name, rel, depth + 1, out, truncated);
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

bool EnvVar(const wchar_t* name, std::wstring& value) {
  DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return false;
  std::vector<wchar_t> buf(n);
  DWORD got = GetEnvironmentVariableW(name, buf.data(), n);
  value.assign(buf.data(), got);
  return true;
}

bool ParseStatus(const char* text, unsigned& status) {
  char* end = nullptr;
  long long v = strtoll(text, &end, 0);
  if (!*text || *end) return false;
  status = (unsigned)v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned status = 0;
  DWORD sleepMs = 0;
  int deep = 0;
  std::wstring envExit;
  if (EnvVar(L"STOWKIT_TEST_EXIT", envExit)) ParseStatus(ToUtf8(envExit).c_str(), status);
  for (int i = 1; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "--exit") == 0) ParseStatus(argv[i + 1], status);
    if (strcmp(argv[i], "--sleep") == 0) sleepMs = (DWORD)strtoul(argv[i + 1], nullptr, 10);
    if (strcmp(argv[i], "--leave-deep") == 0) deep = atoi(argv[i + 1]);
  }

  std::string rec = "{\"pid\": " + Decimal(GetCurrentProcessId());
  rec += ", \"exit\": " + Decimal(status);
  rec += ", \"cmdline\": " + JsonBytes(GetCommandLineA());
  rec += ", \"cmdline_w\": " + JsonWide(GetCommandLineW());
  rec += ", \"argv\": [";
  for (int i = 0; i < argc; ++i) rec += (i ? ", " : "") + JsonBytes(argv[i]);
  rec += "]";

  DWORD n = GetCurrentDirectoryW(0, nullptr);
  std::vector<wchar_t> cwdBuf(n + 1);
  std::wstring cwd(cwdBuf.data(), GetCurrentDirectoryW(n + 1, cwdBuf.data()));
  rec += ", \"cwd\": " + JsonWide(cwd);

  std::wstring logfile;
  rec += ", \"install_logfile\": ";
  rec += EnvVar(L"INSTALL_LOGFILE", logfile) ? JsonWide(logfile) : "null";

  std::vector<Entry> entries;
  bool truncated = false;
  std::wstring root = cwd;
  if (!root.empty() && root.back() == L'\\') root.pop_back();
  Walk(root, L"", 0, entries, truncated);
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.path < b.path; });
  rec += ", \"files\": [";
  for (size_t i = 0; i < entries.size(); ++i) {
    rec += (i ? ", " : "") + std::string("{\"path\": ") + JsonWide(entries[i].path);
    rec += ", \"size\": " + Decimal(entries[i].size) + ", \"dir\": " + JsonBool(entries[i].dir) + "}";
  }
  rec += "], \"files_truncated\": " + JsonBool(truncated) + "}\n";

  std::wstring recordPath;
  if (EnvVar(L"STOWKIT_TEST_RECORD", recordPath) && !recordPath.empty()) {
    if (!WriteFileText(recordPath, rec, true)) {
      WriteStd(STD_ERROR_HANDLE, "testinstaller: cannot append to " + ToUtf8(recordPath) + "\n");
      return 120;
    }
  } else {
    WriteStd(STD_OUTPUT_HANDLE, rec);
  }
  if (deep > 0) {
    std::wstring dir = L"\\\\?\\" + root;
    for (int level = 0; level < deep; ++level) {
      dir += L"\\" + std::wstring(50, static_cast<wchar_t>(L'a' + level % 26));
      CreateDirectoryW(dir.c_str(), nullptr);
    }
    WriteFileText(dir + L"\\bottom.txt", "left by the installer", false);
    WriteFileText(root + L"\\\u0436\u0443\u0440\u043D\u0430\u043B.txt", "left", false);
  }
  if (sleepMs) Sleep(sleepMs);
  return (int)status;
}
