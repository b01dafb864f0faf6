// The stdio side of secpick on real files (natively and under Wine).
#include "fileholder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "clientexception.h"
#include "memoryfiles.h"

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
const char kLineBreak[] = "\r\n";
#else
const char kLineBreak[] = "\n";
#endif

class StdioFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("secpick-unit-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Joined by hand: a native path cannot take non-ASCII wide text in the C locale.
  std::wstring Path(const std::wstring& name) const { return dir_.wstring() + L"/" + name; }
  void Write(const std::wstring& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::wstring& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  int32_t Extract(const std::wstring& section, const std::wstring& output) {
    secpick::StdioSectionFiles files;
    secpick_testing::Latin1CodePage codePage;
    secpick::SectionRequest request{section, Path(L"in.txt"), Path(output), std::nullopt};
    return secpick::ExtractSection(request, files, codePage);
  }

  fs::path dir_;
};

TEST_F(StdioFilesTest, CopiesTheSectionAsTextLines) {
  Write(L"in.txt", "[A]\r\none\r\n\r\n[B]\r\n");
  EXPECT_EQ(Extract(L"a", L"out.txt"), 2);
  EXPECT_EQ(Read(L"out.txt"), std::string("one") + kLineBreak + kLineBreak);
}

TEST_F(StdioFilesTest, NoSectionLeavesAnExistingOutputAlone) {
  Write(L"in.txt", "[A]\none\n");
  Write(L"out.txt", "previous");
  EXPECT_EQ(Extract(L"Z", L"out.txt"), secpick::kNoSectionFound);
  EXPECT_EQ(Read(L"out.txt"), "previous");
}

TEST_F(StdioFilesTest, OutputThatCannotBeCreatedIsAFailure) {
  Write(L"in.txt", "[A]\none\n");
  EXPECT_EQ(Extract(L"A", L"missing-dir/out.txt"), secpick::kFileFailure);
  EXPECT_FALSE(fs::exists(dir_ / "missing-dir"));
}

TEST_F(StdioFilesTest, HolderRaisesOnlyWhenGivenAFormat) {
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

TEST_F(StdioFilesTest, HolderOpensNonAsciiPathsAndReopens) {
  const std::wstring name = L"licen\u00e7e-\u4e2d.txt";
  Write(L"in.txt", "a");
  secpick::FileHolder holder;
  ASSERT_TRUE(holder.Open(Path(name), L"wb"));
  std::fputc('b', holder.Stream());
  ASSERT_TRUE(holder.Open(Path(L"in.txt"), L"rb"));
  EXPECT_EQ(std::fgetc(holder.Stream()), 'a');
  ASSERT_TRUE(holder.Open(Path(name), L"rb"));
  EXPECT_EQ(holder.Path(), Path(name));
  EXPECT_EQ(std::fgetc(holder.Stream()), 'b');
  EXPECT_TRUE(holder.Close());
  EXPECT_TRUE(holder.Close());
}

}  // namespace
