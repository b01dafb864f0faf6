// The Win32 side of the client library, run under wine: system error texts, the process
// command line in both widths, the C runtime's bounded formatter, and the trace mutex.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "../testutil.h"
#include "clientexception.h"
#include "commandline.h"
#include "formatstring.h"
#include "platform.h"

namespace {

template <class Ch>
int Bounded(Ch* buf, size_t count, const Ch* format, ...) {
  va_list args;
  va_start(args, format);
  int r = client_platform::FormatBounded(buf, count, format, args);
  va_end(args);
  return r;
}

TEST(Win32Platform, SystemErrorTextWithoutLineEnd) {
  std::string narrow = client_platform::ErrorText(ERROR_FILE_NOT_FOUND, char());
  std::wstring wide = client_platform::ErrorText(ERROR_FILE_NOT_FOUND, wchar_t());
  ASSERT_FALSE(narrow.empty());
  ASSERT_FALSE(wide.empty());
  for (char c : {'\r', '\n'}) {
    EXPECT_NE(narrow.back(), c);
    EXPECT_NE(wide.back(), static_cast<wchar_t>(c));
  }
  // What the system itself gives ends in CR LF; the library takes those off.
  char raw[512] = {0};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 ERROR_FILE_NOT_FOUND, 0, raw, sizeof raw - 1, nullptr);
  std::string trimmed(raw);
  while (!trimmed.empty() && (trimmed.back() == '\r' || trimmed.back() == '\n')) trimmed.pop_back();
  EXPECT_EQ(narrow, trimmed);

  SetLastError(ERROR_FILE_NOT_FOUND);
  CClientException e("Internal Error [could not open file (%s)]", "in.txt");
  EXPECT_EQ(std::string(e.Text()),
            "Internal Error [could not open file (in.txt)]\nGetLastErrorRC=2 (" + narrow + ")");
  SetLastError(ERROR_FILE_NOT_FOUND);
  BasicClientException<wchar_t> w(L"open %s", L"in.txt");  // %s is wide in a wide format here
  EXPECT_EQ(std::wstring(w.Text()), L"open in.txt\nGetLastErrorRC=2 (" + wide + L")");
  // An unknown code leaves the parentheses empty.
  EXPECT_EQ(client_platform::ErrorText(0x7FFFFFF0u, char()), "");
  SetLastError(0);
}

TEST(Win32Platform, ProcessCommandLineInBothWidths) {
  ResetProcessRawCommandLine<char>();
  ResetProcessRawCommandLine<wchar_t>();
  {
    CommandLineCursor narrow;
    EXPECT_STREQ(narrow.RawCommandLine(), GetCommandLineA());
    BasicCommandLineCursor<wchar_t> wide;
    EXPECT_STREQ(wide.RawCommandLine(), GetCommandLineW());
    ASSERT_GE(wide.ArgCount(), 1);
    std::wstring program = wide.ProgramName();
    EXPECT_EQ(program.substr(program.size() - 15), L"unit_common.exe");
    EXPECT_STREQ(narrow.ProgramName(), Narrow(program).c_str());
    // The program directory is where the executable lies, with a final backslash.
    std::wstring dir = wide.ProgramDir();
    EXPECT_EQ(dir.back(), L'\\');
    wchar_t module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring modulePath(module, n);
    if (std::wstring(wide.ArgAt(0)).find(L'\\') != std::wstring::npos) {
      EXPECT_EQ(_wcsicmp(dir.c_str(), modulePath.substr(0, modulePath.rfind(L'\\') + 1).c_str()), 0);
    }
    // Removal changes only the library's copy, never the system's.
    wide.Seek(0);
    const std::wstring before = GetCommandLineW();
    ASSERT_TRUE(wide.RemoveCurrent());
    EXPECT_EQ(std::wstring(GetCommandLineW()), before);
  }
  ResetProcessRawCommandLine<char>();
  ResetProcessRawCommandLine<wchar_t>();
}

TEST(Win32Platform, WideBuildSplitsAtEverySpaceTheRuntimeKnows) {
  // The runtime calls these spaces; the natively built tests cannot see that.
  const struct {
    const wchar_t* text;
    std::vector<std::wstring> args;
  } wide[] = {
      {L"a\u3000b\u00A0c\u2028d", {L"a", L"b", L"c", L"d"}},
      {L"\"a\u3000b\" c", {L"a\u3000b", L"c"}},  // quoted, it is part of the argument
      {L"a\uFEFFb", {L"a\uFEFFb"}},               // not a space
  };
  for (const auto& c : wide) EXPECT_EQ(SplitCommandLine(c.text), c.args) << Narrow(std::wstring(c.text));
  // Quoting keeps such an argument whole through a rebuild.
  const std::vector<std::wstring> list = {L"x\u3000y", L"\u00A0"};
  EXPECT_EQ(SplitCommandLine((QuoteArgument(list[0]) + L" " + QuoteArgument(list[1])).c_str()), list);
  // The 8-bit build knows only the ASCII blanks: 0xA0 is a letter of the ANSI code page.
  EXPECT_EQ(SplitCommandLine("a\xA0" "b"), std::vector<std::string>{"a\xA0" "b"});
}

TEST(Win32Platform, RuntimeBoundedFormatterContract) {
  // The formatting buffer relies on these: no terminator and the length at an exact fit,
  // a negative result when the text is longer.
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(Bounded(buf, 5, "%s", "abc"), 3);
  EXPECT_STREQ(buf, "abc");
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(Bounded(buf, 5, "%s", "abcde"), 5);
  EXPECT_EQ(std::string(buf, 6), "abcde#");
  EXPECT_LT(Bounded(buf, 5, "%s", "abcdefg"), 0);

  wchar_t wbuf[8];
  std::wmemset(wbuf, L'#', 8);
  EXPECT_EQ(Bounded(wbuf, 5, L"%s", L"abcde"), 5);
  EXPECT_EQ(std::wstring(wbuf, 6), L"abcde#");
  EXPECT_LT(Bounded(wbuf, 5, L"%s", L"abcdefg"), 0);
  // In the runtime's wide formatter %s is wide and %S narrow; ANSI bytes pass unchanged.
  EXPECT_EQ(FormatToString(L"%s-%d : %S", L"installer", 192, "x"), L"installer-192 : x");
  EXPECT_EQ(FormatToString("%s", "\xE9t\xE9\xA0"), "\xE9t\xE9\xA0");
}

TEST(Win32Platform, TraceMutexCanBeRetakenByItsOwnerAndTimesOutForOthers) {
  client_platform::Mutex* mutex = client_platform::NewMutex();
  ASSERT_NE(mutex, nullptr);
  EXPECT_TRUE(client_platform::LockMutex(mutex, 5000));
  EXPECT_TRUE(client_platform::LockMutex(mutex, 0));  // the owner may take it again
  bool otherGotIt = true;
  RunOnNewThread([&] { otherGotIt = client_platform::LockMutex(mutex, 50); });
  EXPECT_FALSE(otherGotIt);
  client_platform::UnlockMutex(mutex);
  client_platform::UnlockMutex(mutex);
  RunOnNewThread([&] {
    otherGotIt = client_platform::LockMutex(mutex, 50);
    if (otherGotIt) client_platform::UnlockMutex(mutex);
  });
  EXPECT_TRUE(otherGotIt);
  client_platform::CloseMutex(mutex);
}

}  // namespace
