// FileHolder on real files (natively and under Wine). The extraction over real files is
// covered end to end by tests/e2e/test_secpick.py.
#include "fileholder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "clientexception.h"

namespace {

namespace fs = std::filesystem;

class FileHolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("secpick-unit-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  // Joined by hand: a native path cannot take non-ASCII wide text in the C locale.
  std::wstring Path(const std::wstring& name) const { return dir_.wstring() + L"/" + name; }

  fs::path dir_;
};

TEST_F(FileHolderTest, RaisesOnlyWhenGivenAFormat) {
  secpick::FileHolder holder;
  EXPECT_FALSE(holder.Open(Path(L"absent.txt"), L"rb"));
  EXPECT_EQ(holder.Stream(), nullptr);
  EXPECT_TRUE(holder.Path().empty());
  try {
    holder.Open(Path(L"absent.txt"), L"rb", secpick::kOpenErrorFormat);
    FAIL() << "no exception";
  } catch (BasicClientException<wchar_t>* error) {
    std::wstring expected = L"Internal Error [could not open file (" + Path(L"absent.txt") + L")]";
    EXPECT_EQ(std::wstring(error->Text()).substr(0, expected.size()), expected);
#ifdef _WIN32
    EXPECT_EQ(error->ErrorCode(), 2u);  // ERROR_FILE_NOT_FOUND, named in the text too
    EXPECT_NE(std::wstring(error->Text()).find(L"\nGetLastErrorRC=2 ("), std::wstring::npos);
#endif
    delete error;
  }
}

TEST_F(FileHolderTest, ReopeningClosesTheStreamHeld) {
  const std::wstring name = L"licen\u00e7e-\u4e2d.txt";
  std::ofstream(dir_ / "in.txt", std::ios::binary) << "a";
  secpick::FileHolder holder;
  ASSERT_TRUE(holder.Open(Path(name), L"wb"));
  std::fputc('b', holder.Stream());
  // The written byte is on disk only if this open closed the "wb" stream first.
  ASSERT_TRUE(holder.Open(Path(L"in.txt"), L"rb"));
  EXPECT_EQ(std::fgetc(holder.Stream()), 'a');
  ASSERT_TRUE(holder.Open(Path(name), L"rb"));
  EXPECT_EQ(holder.Path(), Path(name));
  EXPECT_EQ(std::fgetc(holder.Stream()), 'b');
  EXPECT_TRUE(holder.Close());
  EXPECT_TRUE(holder.Close());
  EXPECT_TRUE(holder.Path().empty());
}

}  // namespace
