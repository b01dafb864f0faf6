// The working directory's descriptor as the system reads it back (Wine does not keep a
// descriptor given at creation, so the bytes the kit builds are checked here).
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "run/win32/securedir.h"
#include "run/workdir.h"

namespace {

std::wstring AsText(const ByteVector& descriptor) {
  PSECURITY_DESCRIPTOR sd = const_cast<uint8_t*>(descriptor.data());
  EXPECT_TRUE(IsValidSecurityDescriptor(sd));
  LPWSTR text = nullptr;
  EXPECT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
      sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
  std::wstring result = text ? text : L"";
  LocalFree(text);
  return result;
}

}  // namespace

TEST(WorkingDirectoryDescriptor, ReadBackByTheSystem) {
  bool elevated = false;
  ByteVector user;
  ASSERT_TRUE(run::ReadTokenFacts(elevated, user));
  LPWSTR userText = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidW(user.data(), &userText));
  std::wstring userSid = userText;
  LocalFree(userText);

  const std::wstring common = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  EXPECT_EQ(common + L"(A;OICI;FA;;;" + userSid + L")",
            AsText(run::WorkingDirectoryDescriptor(false, user)));
  EXPECT_EQ(common, AsText(run::WorkingDirectoryDescriptor(true, user)));
}
