// Files named by paths beyond the 260-character limit, under wine.
#include "services/win32/longpath.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "services/win32/handles.h"
#include "services/win32/services.h"

namespace {

// A folder nested deep enough that every file in it has a path of more than 300 characters,
// below a fresh folder of the temporary directory; removed with its files afterwards.
class DeepDir {
 public:
  DeepDir() {
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    root_ = std::string(temp) + "longpath_" + std::to_string(GetCurrentProcessId());
    std::string dir = root_;
    CreateDirectoryW(ExtendedPath(dir).c_str(), nullptr);
    for (int i = 0; i < 5; ++i) {
      relative_ += (i ? "\\" : "") + std::string(60, 'd');
      dir = root_ + "\\" + relative_;
      levels_.push_back(dir);
      CreateDirectoryW(ExtendedPath(dir).c_str(), nullptr);
    }
  }
  ~DeepDir() {
    for (const std::string& file : files_) DeleteFileW(ExtendedPath(file).c_str());
    for (auto it = levels_.rbegin(); it != levels_.rend(); ++it) {
      RemoveDirectoryW(ExtendedPath(*it).c_str());
    }
    RemoveDirectoryW(ExtendedPath(root_).c_str());
  }
  const std::string& root() const { return root_; }
  const std::string& relative() const { return relative_; }
  std::string path() const { return levels_.back(); }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string file = path() + "\\" + name;
    files_.push_back(file);
    UniqueStdioFile out(OpenFileAnyLength(file, "wb"));
    EXPECT_TRUE(out) << GetLastError();
    if (out) std::fwrite(bytes.data(), 1, bytes.size(), out.get());
    return file;
  }

 private:
  std::string root_, relative_;
  std::vector<std::string> levels_;
  std::vector<std::string> files_;
};

// Sets the current directory for a while.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& dir) {
    GetCurrentDirectoryA(sizeof old_, old_);
    EXPECT_TRUE(SetCurrentDirectoryA(dir.c_str())) << GetLastError();
  }
  ~CurrentDirectory() { SetCurrentDirectoryA(old_); }

 private:
  char old_[MAX_PATH + 1] = {};
};

}  // namespace

TEST(LongPath, FilesBeyondThePathLimitAreReadWhole) {
  DeepDir deep;
  std::string file = deep.Write("data.bin", std::string("long\0path", 9));
  ASSERT_GT(file.size(), 300u);
  EXPECT_FALSE(IsPlainLengthPath(file));
  EXPECT_NE(FileAttributesAnyLength(file), INVALID_FILE_ATTRIBUTES) << GetLastError();
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(FileAttributesExAnyLength(file, data)) << GetLastError();
  EXPECT_EQ(data.nFileSizeLow, 9u);

  // Through each way in: absolute, relative to the current directory, and with '/' separators.
  CurrentDirectory here(deep.root());
  std::string relative = deep.relative() + "\\data.bin";
  std::string slashed = file;
  for (char& c : slashed) {
    if (c == '\\') c = '/';
  }
  for (const std::string& path : {file, relative, slashed}) {
    FileBytes bytes;
    ASSERT_TRUE(ReadWholeFile(path, true, bytes)) << path << " " << GetLastError();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size),
              std::string("long\0path", 9));
    UniqueFileHandle handle(CreateFileAnyLength(path, GENERIC_READ, FILE_SHARE_READ,
                                                OPEN_EXISTING, 0));
    EXPECT_TRUE(handle) << path << " " << GetLastError();
  }
  // The relative name is taken from the current directory, not from anywhere else.
  std::wstring extended = ExtendedPath(relative);
  EXPECT_EQ(extended.substr(0, 4), L"\\\\?\\");
  EXPECT_EQ(extended.substr(extended.size() - 9), L"\\data.bin");
}

TEST(LongPath, MissingLongFileFailsWithTheSystemReason) {
  DeepDir deep;
  std::string missing = deep.path() + "\\missing.txt";
  EXPECT_EQ(FileAttributesAnyLength(missing), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenFileAnyLength(missing, "rb"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  FileBytes bytes;
  EXPECT_FALSE(ReadWholeFile(missing + "\\below", true, bytes));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(LongPath, ShortPathsStayPlain) {
  EXPECT_TRUE(IsPlainLengthPath("a.txt"));
  EXPECT_TRUE(IsPlainLengthPath("C:\\" + std::string(250, 'x')));
  EXPECT_FALSE(IsPlainLengthPath("C:\\" + std::string(257, 'x')));
  // Short as written but long once the current directory is put in front.
  DeepDir deep;
  CurrentDirectory here(deep.root());
  EXPECT_FALSE(IsPlainLengthPath(std::string(240, 'x')));
}
