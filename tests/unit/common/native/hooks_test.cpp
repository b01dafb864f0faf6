// Client library behaviour seen through the native platform layer's test hooks: the process
// command line, system error texts, message boxes, debugger output, thread id and clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwctype>
#include <string>

#include "../testutil.h"
#include "clientexception.h"
#include "commandline.h"
#include "native/platform_testing.h"
#include "platform.h"
#include "trace.h"

namespace hooks = client_platform::testing;

namespace {

class HooksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks::Reset();
    ResetProcessRawCommandLine<char>();
    ResetProcessRawCommandLine<wchar_t>();
  }
  void TearDown() override {
    SetTraceSink<char>(new BasicNullTraceSink<char>());
    SetTraceSink<wchar_t>(new BasicNullTraceSink<wchar_t>());
    TraceScopesEnabled = false;
    ResetProcessRawCommandLine<char>();
    ResetProcessRawCommandLine<wchar_t>();
    hooks::Reset();
  }
};

// Seconds since 1970 of today's date at the given local time of day.
int64_t LocalTimeOfDay(int h, int m, int s) {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 4;
  t.tm_mday = 17;
  t.tm_hour = h;
  t.tm_min = m;
  t.tm_sec = s;
  t.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&t));
}

TEST_F(HooksTest, FirstDefaultParserTakesTheProcessCommandLineOnce) {
  hooks::SetProcessCommandLine(std::string("\"C:\\Kits\\my kit.exe\" -cre out.exe"));
  hooks::SetProcessCommandLine(std::wstring(L"secpick.exe English\u3000in.txt out.txt"));
  CommandLineCursor narrow;
  EXPECT_EQ(narrow.ArgCount(), 3);
  EXPECT_STREQ(narrow.RawCommandLine(), "\"C:\\Kits\\my kit.exe\" -cre out.exe");
  EXPECT_STREQ(narrow.ProgramName(), "my kit.exe");
  EXPECT_STREQ(narrow.ProgramDir(), "C:\\Kits\\");

  BasicCommandLineCursor<wchar_t> wide;
  EXPECT_STREQ(wide.ArgAt(0), L"secpick.exe");
  EXPECT_EQ(wide.ArgCount(), 3 + (std::iswspace(0x3000) ? 1 : 0));

  // Later changes of the platform's text are not seen: the copy is taken once.
  hooks::SetProcessCommandLine(std::string("other.exe"));
  CommandLineCursor again;
  EXPECT_EQ(again.ArgCount(), 3);
  again.Seek(1);
  EXPECT_TRUE(again.RemoveCurrent());
  CommandLineCursor afterRemoval;
  EXPECT_STREQ(afterRemoval.RawCommandLine(), "\"C:\\Kits\\my kit.exe\" \"out.exe\"");
  EXPECT_STREQ(afterRemoval.ArgAt(1), "out.exe");
}

TEST_F(HooksTest, SystemErrorTextLosesItsLineEnd) {
  hooks::SetErrorText(2, "The system cannot find the file specified.\r\n");
  struct Case {
    uint32_t code;
    std::string text;
  } cases[] = {
      {2, "open\nGetLastErrorRC=2 (The system cannot find the file specified.)"},
      {1234, "open\nGetLastErrorRC=1234 ()"},  // no system text: empty parentheses
      {0, "open"},
  };
  for (const Case& c : cases) {
    client_platform::SetLastError(c.code);
    CClientException e("open");
    EXPECT_EQ(std::string(e.Text()), c.text);
    BasicClientException<wchar_t> w(L"open");
    EXPECT_EQ(Narrow(std::wstring(w.Text())), c.text);
  }
}

TEST_F(HooksTest, ShowAddsTheWarningIconAndEchoesTheBox) {
  client_platform::SetLastError(0);
  CClientException e("Error from '%s'", "setup.exe");
  e.SetLocation("C:\\build\\run\\installer.cpp", 192, nullptr);
  e.Show(0);
  e.Show(kMbSystemModal);
  auto& boxes = hooks::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].style, 0x30u);
  EXPECT_EQ(boxes[1].style, 0x1030u);
  EXPECT_EQ(boxes[1].caption, L"installer-192 : ");
  EXPECT_EQ(boxes[1].text, L"Error from 'setup.exe'");

  // With a debugger sink and echo on, the box also goes to the trace.
  hooks::SetClock(LocalTimeOfDay(14, 3, 7), 42);
  SetTraceSink<char>(new BasicDebugTraceSink<char>());
  EnableTraceEcho<char>();
  e.Show(kMbSystemModal);
  ASSERT_EQ(hooks::DebugOutputs().size(), 1u);
  EXPECT_EQ(hooks::DebugOutputs()[0],
            L"14:03:07.042 : 0A1C : installer-192 : \n"
            L"14:03:07.042 : 0A1C : Error from 'setup.exe'");
}

TEST_F(HooksTest, StartupStateTracesNothing) {
  hooks::SetErrorText(5, "Access is denied.");
  client_platform::SetLastError(5);
  CClientException e("failed");
  e.Show(0);
  BasicClientException<wchar_t> w(L"failed");
  w.Show(0);
  EXPECT_TRUE(hooks::DebugOutputs().empty());
  EXPECT_EQ(hooks::MessageBoxes().size(), 2u);
}

TEST_F(HooksTest, DebugSinkPrefixesEveryLine) {
  hooks::SetThreadId(0xBEEF);
  hooks::SetClock(LocalTimeOfDay(9, 5, 0), 7);
  BasicDebugTraceSink<wchar_t> sink;
  const wchar_t* out = sink.TraceText(L"a\nb");
  ASSERT_NE(out, nullptr);
  const std::wstring expected = L"09:05:00.007 : BEEF : a\n09:05:00.007 : BEEF : b";
  EXPECT_EQ(std::wstring(out), expected);
  ASSERT_EQ(hooks::DebugOutputs().size(), 1u);
  EXPECT_EQ(hooks::DebugOutputs()[0], expected);
  // Thread ids above four digits are written whole.
  hooks::SetThreadId(0x12345);
  EXPECT_EQ(std::wstring(sink.TraceText(L"x")), L"09:05:00.007 : 12345 : x");

  // Scope lines: thread id in decimal, then the depth in hexadecimal.
  hooks::SetThreadId(1234);
  SetTraceSink<wchar_t>(new BasicDebugTraceSink<wchar_t>());
  TraceScopesEnabled = true;
  { BasicTraceScope<wchar_t> outer(L"Run"), inner(L"Load"); }
  const std::wstring p = L"09:05:00.007 : 04D2 : ";
  EXPECT_EQ(std::vector<std::wstring>(hooks::DebugOutputs().end() - 4, hooks::DebugOutputs().end()),
            (std::vector<std::wstring>{p + L"1234 0000: >>Run\n", p + L"1234 0001:   >>Load\n",
                                       p + L"1234 0001:   <<Load\n", p + L"1234 0000: <<Run\n"}));
}

TEST_F(HooksTest, FileSinkCopiesToTheDebuggerOnlyWhenWriting) {
  const std::string bad = TempFilePath("missing_dir") + "/x.log";
  BasicFileTraceSink<char> closed(bad.c_str(), "w", 0, nullptr);
  EXPECT_EQ(closed.TraceText("lost"), nullptr);
  EXPECT_TRUE(hooks::DebugOutputs().empty());

  const std::string good = TempFilePath("debug_copy.log");
  {
    BasicFileTraceSink<char> open(good.c_str(), "w", 0, nullptr);
    EXPECT_NE(open.TraceText("kept"), nullptr);
  }
  ASSERT_EQ(hooks::DebugOutputs().size(), 1u);
  EXPECT_EQ(hooks::DebugOutputs()[0].substr(hooks::DebugOutputs()[0].size() - 4), L"kept");
  std::remove(good.c_str());
}

// Reports its end on the error stream, so the exit-time clean-up can be watched.
class LoudSink : public BasicTraceSink<char> {
 public:
  ~LoudSink() override { std::fputs("sink destroyed\n", stderr); }
  const char* Name() override { return "LOUD"; }
};

TEST(TraceExitDeathTest, CurrentSinkIsDestroyedOnceAtExit) {
  EXPECT_EXIT(
      {
        SetTraceSink<char>(new LoudSink());
        std::exit(7);
      },
      ::testing::ExitedWithCode(7), "^sink destroyed\n$");
}

}  // namespace
