// CClientException: message text, error code line and caption, in both widths.
#include "clientexception.h"

#include <gtest/gtest.h>

#include <string>

#include "platform.h"
#include "testutil.h"

namespace {

template <class Ch>
class ClientExceptionTest : public ::testing::Test {
 protected:
  using S = std::basic_string<Ch>;
  static S T(const std::string& s) { return Str<Ch>(s); }
  static const Ch* StringFormat() {
    static const S format = T(std::is_same<Ch, char>::value ? "%s" : "%" TEST_WIDE_S);
    return format.c_str();
  }
  void TearDown() override { client_platform::SetLastError(0); }
};

using Widths = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(ClientExceptionTest, Widths);

TYPED_TEST(ClientExceptionTest, TextIsTheMessageAloneWithoutAnErrorCode) {
  client_platform::SetLastError(0);
  auto format = this->T("Error in creating process '") + this->StringFormat() + this->T("'");
  auto command = this->T("setup.exe");
  BasicClientException<TypeParam> e(format.c_str(), command.c_str());
  EXPECT_EQ(typename TestFixture::S(e.Text()), this->T("Error in creating process 'setup.exe'"));
  EXPECT_EQ(e.ErrorCode(), 0u);
  EXPECT_EQ(e.SourceFile(), nullptr);
  EXPECT_EQ(e.Context(), nullptr);
}

TYPED_TEST(ClientExceptionTest, ErrorCodeAndSystemTextAreAppended) {
  client_platform::SetLastError(2);
  auto message = this->T("Internal Error [could not open file (in.txt)]");
  BasicClientException<TypeParam> e(message.c_str());
  auto systemText = client_platform::ErrorText(2, TypeParam());
  EXPECT_EQ(typename TestFixture::S(e.Text()),
            message + this->T("\nGetLastErrorRC=2 (") + systemText + this->T(")"));
  EXPECT_EQ(e.ErrorCode(), 2u);
  // The raiser may put back the code of the failing call.
  e.SetErrorCode(5);
  EXPECT_EQ(e.ErrorCode(), 5u);
}

TYPED_TEST(ClientExceptionTest, LongMessagesAreCutAt1023Characters) {
  client_platform::SetLastError(0);
  struct Case {
    size_t length, kept;
  } cases[] = {{1022, 1022}, {1023, 1023}, {1024, 1023}, {5000, 1023}};
  for (const Case& c : cases) {
    auto message = typename TestFixture::S(c.length, TypeParam('m'));
    BasicClientException<TypeParam> e(this->StringFormat(), message.c_str());
    EXPECT_EQ(typename TestFixture::S(e.Text()), message.substr(0, c.kept)) << c.length;
  }
}

TYPED_TEST(ClientExceptionTest, CaptionFromSourceLocation) {
  client_platform::SetLastError(0);
  struct Case {
    const char* file;
    int line;
    const char* context;
    std::string caption;
  } cases[] = {
      {"installer", 192, nullptr, "installer-192 : "},
      {"c:\\a.b\\src\\installer.cpp", 192, nullptr, "installer-192 : "},
      {"/src/x.y/name.ext.more", 5, "ctx", "name-5 : ctx"},
      {"C:name.cpp", -1, nullptr, "name--1 : "},
      {"dir\\", 3, nullptr, "-3 : "},
      {"a.b/c:d", 7, nullptr, "d-7 : "},
      {nullptr, 0, nullptr, ""},
      {nullptr, 10, "only context", "only context"},
  };
  for (const Case& c : cases) {
    BasicClientException<TypeParam> e(this->T("x").c_str());
    auto file = c.file ? this->T(c.file) : typename TestFixture::S();
    auto context = c.context ? this->T(c.context) : typename TestFixture::S();
    e.SetLocation(c.file ? file.c_str() : nullptr, c.line, c.context ? context.c_str() : nullptr);
    EXPECT_EQ(e.Caption(), this->T(c.caption)) << (c.file ? c.file : "(null)");
    EXPECT_EQ(e.SourceLine(), c.line);
  }
}

TYPED_TEST(ClientExceptionTest, CaptionLimits) {
  client_platform::SetLastError(0);
  BasicClientException<TypeParam> e(this->T("x").c_str());
  // At most 259 characters of the base name.
  auto longName = typename TestFixture::S(300, TypeParam('n'));
  e.SetLocation((this->T("C:\\src\\") + longName + this->T(".cpp")).c_str(), 1, nullptr);
  EXPECT_EQ(e.Caption(), longName.substr(0, 259) + this->T("-1 : "));
  // The whole caption stops at 1023 characters.
  auto longContext = typename TestFixture::S(2000, TypeParam('c'));
  e.SetLocation(this->T("f.cpp").c_str(), 2, longContext.c_str());
  EXPECT_EQ(e.Caption(), (this->T("f-2 : ") + longContext).substr(0, 1023));
  // A second location replaces the first; null texts stay null.
  e.SetLocation(nullptr, 3, nullptr);
  EXPECT_EQ(e.SourceFile(), nullptr);
  EXPECT_EQ(e.Context(), nullptr);
  EXPECT_EQ(e.Caption(), this->T(""));
}

}  // namespace
