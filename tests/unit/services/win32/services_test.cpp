// The Win32 side of the shared services, run under wine.
#include "services/win32/services.h"

#include "services/fatalend.h"
#include "services/win32/tempfile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A fresh directory below the temporary path, removed with its files afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    static int counter = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("svc_test_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(counter++)))
                .string();
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string file = path_ + "\\" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }

 private:
  std::string path_;
};

// Sets a variable of the runtime's environment (which ClaimTempFile reads) for a while.
class EnvOverride {
 public:
  EnvOverride(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    Put(value);
  }
  ~EnvOverride() { Put(had_ ? old_ : std::string()); }

 private:
  // "NAME=" removes the variable.
  void Put(const std::string& value) { _putenv((std::string(name_) + "=" + value).c_str()); }
  const char* name_;
  bool had_ = false;
  std::string old_;
};

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }
std::string Directory(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }
std::string Narrow(const std::wstring& path) { return std::string(path.begin(), path.end()); }

}  // namespace

TEST(ClaimTempFile, NamesInTmpCountOnFromTwoAndSkipExistingFiles) {
  ScratchDir tmp, temp;
  EnvOverride tmpVar("TMP", tmp.path());
  EnvOverride tempVar("TEMP", temp.path());

  TempFile firstFile = ClaimTempFile();
  std::string first = Narrow(firstFile.path());
  // TMP wins even though the caller passes TEMP.
  EXPECT_EQ(Directory(first), tmp.path());
  std::string name = FileName(first);
  ASSERT_EQ(name.size(), std::string("_stowkit_tmp12345678.2").size()) << name;
  EXPECT_EQ(name.substr(0, 12), "_stowkit_tmp");
  EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", 12), 20u) << name;
  // This test asks first in the process, so the sequence starts at 2.
  EXPECT_EQ(name.substr(20), ".2");
  // The name is held by an empty file, so no other process can be handed it.
  HANDLE held = CreateFileA(first.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  EXPECT_EQ(held, INVALID_HANDLE_VALUE);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

  const std::string prefix = first.substr(0, first.size() - 1);
  {
    TempFile second = ClaimTempFile();
    EXPECT_EQ(Narrow(second.path()), prefix + "3");
  }
  // The owner deleted its file; a released one stays.
  EXPECT_EQ(GetFileAttributesA((prefix + "3").c_str()), INVALID_FILE_ATTRIBUTES);
  tmp.Write(FileName(prefix + "4"), "x");
  tmp.Write(FileName(prefix + "5"), "x");
  TempFile kept = ClaimTempFile();
  EXPECT_EQ(Narrow(kept.path()), prefix + "6");
  kept.Release();
  EXPECT_NE(GetFileAttributesA((prefix + "6").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ClaimTempFile, FallsBackToTempWhenTmpIsNoDirectory) {
  ScratchDir temp;
  EnvOverride tmpVar("TMP", temp.path() + "\\missing");
  EnvOverride tempVar("TEMP", temp.path());
  TempFile file = ClaimTempFile();
  EXPECT_EQ(Directory(Narrow(file.path())), temp.path());
}

TEST(ClaimTempFile, NamesOutsideTheCodePageWork) {
  ScratchDir base;
  std::wstring cyrillic = std::wstring(base.path().begin(), base.path().end()) + L"\\\u0422\u0435\u043C\u043F";
  ASSERT_TRUE(CreateDirectoryW(cyrillic.c_str(), nullptr));
  _wputenv((L"TMP=" + cyrillic).c_str());
  {
    TempFile file = ClaimTempFile();
    EXPECT_EQ(file.path().substr(0, cyrillic.size()), cyrillic);
    EXPECT_NE(GetFileAttributesW(file.path().c_str()), INVALID_FILE_ATTRIBUTES);
  }
  _wputenv(L"TMP=");
  EXPECT_TRUE(RemoveDirectoryW(cyrillic.c_str())) << "the owner left its file";
}

TEST(ReadWholeFile, WholeContentFollowedBySixZeroBytes) {
  ScratchDir dir;
  const std::string content("ab\0c\r\nd", 7);
  FileBytes bytes;
  ASSERT_TRUE(ReadWholeFile(dir.Write("f.bin", content), true, bytes));
  EXPECT_EQ(bytes.size, content.size());
  ASSERT_EQ(bytes.bytes.size(), content.size() + 6);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size), content);
  for (size_t i = content.size(); i < content.size() + 6; ++i) EXPECT_EQ(bytes.bytes[i], 0) << i;
}

TEST(ReadWholeFile, EmptyFileGivesSixZeroBytes) {
  ScratchDir dir;
  FileBytes bytes;
  bytes.size = 99;
  ASSERT_TRUE(ReadWholeFile(dir.Write("empty", ""), true, bytes));
  EXPECT_EQ(bytes.size, 0u);
  EXPECT_EQ(bytes.bytes, std::vector<unsigned char>(6, 0));
}

TEST(ReadWholeFile, FailuresReturnFalse) {
  ScratchDir dir;
  FileBytes bytes;
  EXPECT_FALSE(ReadWholeFile(dir.path() + "\\absent", true, bytes));
  EXPECT_FALSE(ReadWholeFile(dir.path(), true, bytes));  // a directory is no file
  // Text mode turns CR LF into LF, so fewer bytes arrive than the file holds.
  EXPECT_FALSE(ReadWholeFile(dir.Write("crlf.txt", "a\r\nb"), false, bytes));
}

TEST(ReportText, GoesToStandardErrorWithoutMessageBoxes) {
  Reporting() = ReportSettings();
  testing::internal::CaptureStderr();
  ReportText("\n-- first\n");
  ReportText("second %s\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "\n-- first\nsecond %s\n");

  // Quiet pack mode writes every text, and shows no box.
  Reporting().messageBoxes = true;
  Reporting().quiet = true;
  testing::internal::CaptureStderr();
  ReportText("a");
  ReportText("b");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ab");
  EXPECT_EQ(Reporting().boxesShown, 0);
  Reporting() = ReportSettings();
}

TEST(ReportText, OnlyTheFirstBoxIsShown) {
  // A box that was already shown drops every later text without output.
  Reporting() = ReportSettings();
  Reporting().messageBoxes = true;
  Reporting().boxesShown = 1;
  testing::internal::CaptureStderr();
  ReportText("dropped");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Reporting().boxesShown, 1);
  Reporting() = ReportSettings();
}

TEST(FatalEnds, FatalErrorThrowsStatusOne) {
  try {
    FatalError("\n-- cannot go on\n");
    FAIL() << "FatalError returned";
  } catch (const FatalEnd& end) {
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(end.text, "\n-- cannot go on\n");
  }
}

TEST(FatalEnds, NoTemporaryNameIsStatus32) {
  // A directory whose name leaves no room for prefix and number.
  const std::string base = std::filesystem::temp_directory_path().string();
  const std::string deep = base + "\\svc_" + std::string(236 - base.size(), 'd');
  ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  EnvOverride tmpVar("TMP", deep);
  try {
    ClaimTempFile();
    ADD_FAILURE() << "a name below " << deep;
  } catch (const FatalEnd& end) {
    EXPECT_EQ(end.status, 32);
    EXPECT_EQ(end.text, "\nFatal error: failed to locate temporary filename ''\n");
  }
  RemoveDirectoryA(deep.c_str());
}
