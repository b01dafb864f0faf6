// The Win32 side of the shared services, run under wine.
#include "services/win32/services.h"

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

// Sets a variable of the runtime's environment (which MakeTempFileName reads) for a while.
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

}  // namespace

TEST(MakeTempFileName, NamesInTmpCountOnFromTwoAndSkipExistingFiles) {
  ScratchDir tmp, temp;
  EnvOverride tmpVar("TMP", tmp.path());
  EnvOverride tempVar("TEMP", temp.path());

  std::string first = MakeTempFileName();
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
  EXPECT_EQ(MakeTempFileName(), prefix + "3");
  tmp.Write(FileName(prefix + "4"), "x");
  tmp.Write(FileName(prefix + "5"), "x");
  EXPECT_EQ(MakeTempFileName(), prefix + "6");
}

TEST(MakeTempFileName, FallsBackToTempWhenTmpIsNoDirectory) {
  ScratchDir temp;
  EnvOverride tmpVar("TMP", temp.path() + "\\missing");
  EnvOverride tempVar("TEMP", temp.path());
  std::string name = MakeTempFileName();
  EXPECT_EQ(Directory(name), temp.path());
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

TEST(FatalEndsDeathTest, FatalErrorReportsAndEndsWithStatusOne) {
  EXPECT_EXIT(FatalError("\n-- cannot go on\n"), ::testing::ExitedWithCode(1), "-- cannot go on");
}

TEST(FatalEndsDeathTest, NoTemporaryNameEndsWithStatus32) {
  // A directory whose name leaves no room for prefix and number. The child process that runs
  // the statement makes the same directory again, so the name must not depend on the process.
  const std::string base = std::filesystem::temp_directory_path().string();
  const std::string deep = base + "\\svc_" + std::string(236 - base.size(), 'd');
  ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  EXPECT_EXIT(
      {
        _putenv(("TMP=" + deep).c_str());
        MakeTempFileName();
      },
      ::testing::ExitedWithCode(32), "\nFatal error: failed to locate temporary filename ''\n");
  RemoveDirectoryA(deep.c_str());
}
