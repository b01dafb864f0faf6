#include "services/pathform.h"

#include <gtest/gtest.h>

#include <string>

TEST(PathForm, ExtendedLengthFormOfEachPathKind) {
  struct Case {
    std::wstring full, extended;
  };
  const Case cases[] = {
      {L"C:\\kits\\a.txt", L"\\\\?\\C:\\kits\\a.txt"},
      {L"z:/kits/a.txt", L"\\\\?\\z:\\kits\\a.txt"},
      {L"C:\\", L"\\\\?\\C:\\"},
      {L"\\\\server\\share\\dir\\a.txt", L"\\\\?\\UNC\\server\\share\\dir\\a.txt"},
      {L"//server/share", L"\\\\?\\UNC\\server\\share"},
      // Already extended: used as it stands, slashes and all.
      {L"\\\\?\\C:\\a/b", L"\\\\?\\C:\\a/b"},
      {L"\\\\?\\UNC\\server\\share\\a", L"\\\\?\\UNC\\server\\share\\a"},
      // Forms the prefix would change the meaning of.
      {L"", L""},
      {L"a.txt", L""},
      {L"..\\a.txt", L""},
      {L"C:a.txt", L""},
      {L"C:", L""},
      {L"\\kits\\a.txt", L""},
      {L"1:\\a", L""},
      {L"\\\\.\\C:\\a.txt", L""},
      {L"//?/C:/a.txt", L""},
      {L"\\\\server", L""},
      {L"\\\\server\\", L""},
      {L"\\\\server\\\\share", L""},
      {L"\\\\\\share", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtendedLengthForm(c.full), c.extended)
        << std::string(c.full.begin(), c.full.end());
  }
}

TEST(PathForm, LongPathKeptWhole) {
  std::wstring deep = L"C:";
  for (int i = 0; i < 600; ++i) deep += L"\\abcdefghij";
  std::wstring extended = ExtendedLengthForm(deep + L"\\end.txt");
  EXPECT_EQ(extended, L"\\\\?\\" + deep + L"\\end.txt");
}
