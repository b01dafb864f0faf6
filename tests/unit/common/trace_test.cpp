// The trace facility in both widths: line prefixes, the fixed forms, file sinks with their
// wrap, scopes, the current sink and the echo of error texts.
#include "trace.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "clientexception.h"
#include "formatstring.h"
#include "platform.h"
#include "testutil.h"

namespace {

// Keeps everything written; Open and Lock can be made to fail.
template <class Ch>
class RecordingSink : public BasicTraceSink<Ch> {
 public:
  explicit RecordingSink(bool* destroyed = nullptr) : destroyed_(destroyed) {}
  ~RecordingSink() override {
    if (destroyed_) *destroyed_ = true;
  }
  const Ch* Name() override { return name_.c_str(); }
  bool Open() override { return openOk; }
  bool Lock() override { return lockOk; }
  int Write(const Ch* text) override {
    writes.emplace_back(text);
    return static_cast<int>(writes.back().size());
  }
  bool openOk = true, lockOk = true;
  std::vector<std::basic_string<Ch>> writes;

 private:
  std::basic_string<Ch> name_ = Str<Ch>("RECORD");
  bool* destroyed_;
};

// The line bodies of traced output, each checked to start with "HH:MM:SS.mmm : <thread> : ".
// An empty result with a "!" entry marks a malformed prefix.
std::vector<std::string> Lines(const std::string& out) {
  const std::string tail =
      FormatToString(" : %04X : ", static_cast<unsigned>(client_platform::CurrentThreadId()));
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < out.size();) {
    const char* shape = "dd:dd:dd.ddd";
    for (size_t i = 0; i < 12; ++i) {
      char c = pos + i < out.size() ? out[pos + i] : 0;
      if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : c != shape[i]) {
        return {"!bad prefix: " + out.substr(pos)};
      }
    }
    if (out.compare(pos + 12, tail.size(), tail) != 0) return {"!bad thread: " + out.substr(pos)};
    pos += 12 + tail.size();
    size_t end = out.find('\n', pos);
    end = end == std::string::npos ? out.size() : end + 1;
    lines.push_back(out.substr(pos, end - pos));
    pos = end;
  }
  return lines;
}
template <class Ch>
std::vector<std::string> Lines(const std::basic_string<Ch>& out) {
  return Lines(Narrow(out));
}

template <class Ch>
class TraceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    TraceScopesEnabled = false;
    SetTraceSink<Ch>(new BasicNullTraceSink<Ch>());
  }
  static std::basic_string<Ch> T(const std::string& s) { return Str<Ch>(s); }
};

using Widths = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(TraceTest, Widths);

TYPED_TEST(TraceTest, EveryLineGetsThePrefix) {
  using Ch = TypeParam;
  struct Case {
    std::string message;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb", {"a\n", "b"}},  // no newline added after the last piece
      {"a\n", {"a\n"}},        // nothing after a final newline
      {"\n\nx", {"\n", "\n", "x"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    RecordingSink<Ch> sink;
    const Ch* result = sink.TraceText(this->T(c.message).c_str());
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(sink.writes.size(), 1u);
    EXPECT_EQ(std::basic_string<Ch>(result), sink.writes[0]);
    EXPECT_EQ(Lines(sink.writes[0]), c.lines) << c.message;
  }
}

TYPED_TEST(TraceTest, FixedFormsPassTheirArgumentsOn) {
  using Ch = TypeParam;
  RecordingSink<Ch> sink;
  const bool wide = !std::is_same<Ch, char>::value;
  sink.TraceLocation(this->T("installer").c_str(), 42);
  sink.TraceLocation(this->T("a-very-long-source-file-name").c_str(), 12345);
  sink.TracePair(this->T(wide ? "%" TEST_WIDE_S "+%" TEST_WIDE_S : "%s+%s").c_str(),
                 this->T("alpha").c_str(), this->T("beta").c_str());
  sink.TraceValue(this->T("%05ld").c_str(), 42L);
  sink.TraceText(this->T("100% sure %s %d").c_str());  // plain text: "%" stays
  const std::vector<std::string> expected = {
      "installer            L42   - ",  // name in 20, " L", line in 4, " - "
      "a-very-long-source-file-name L12345 - ", "alpha+beta", "00042", "100% sure %s %d"};
  ASSERT_EQ(sink.writes.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Lines(sink.writes[i]), std::vector<std::string>{expected[i]});
  }
}

TYPED_TEST(TraceTest, NothingIsWrittenWhenOpenOrLockFails) {
  using Ch = TypeParam;
  RecordingSink<Ch> closed, busy;
  closed.openOk = false;
  busy.lockOk = false;
  EXPECT_EQ(closed.TraceText(this->T("x").c_str()), nullptr);
  EXPECT_EQ(busy.TraceText(this->T("x").c_str()), nullptr);
  EXPECT_TRUE(closed.writes.empty() && busy.writes.empty());
  BasicNullTraceSink<Ch> none;
  EXPECT_EQ(none.TraceLocation(this->T("f").c_str(), 1), nullptr);
}

template <class Ch>
struct CountingWrap : BasicTraceWrapHandler<Ch> {
  void OnWrap(BasicFileTraceSink<Ch>& sink) override {
    ++calls;
    countAtWrap = sink.WrittenCount();
  }
  int calls = 0;
  uint32_t countAtWrap = 99;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  std::string text;
  for (char c : all.str()) {
    if (c != '\r') text.push_back(c);  // text mode on Windows writes CR LF
  }
  return text;
}

TYPED_TEST(TraceTest, FileSinkWrapsAfterPassingItsLimit) {
  using Ch = TypeParam;
  const std::string path = TempFilePath(std::is_same<Ch, char>::value ? "wrap_a" : "wrap_w");
  CountingWrap<Ch> wrap;
  {
    BasicFileTraceSink<Ch> sink(this->T(path).c_str(), this->T("w").c_str(), 100, &wrap);
    ASSERT_TRUE(sink.Open());
    EXPECT_EQ(sink.Write(this->T(std::string(60, 'a')).c_str()), 60);
    EXPECT_EQ(wrap.calls, 0);
    // The write that passes the limit still goes out whole, then writing starts over.
    EXPECT_EQ(sink.Write(this->T(std::string(50, 'b')).c_str()), 50);
    EXPECT_EQ(wrap.calls, 1);
    EXPECT_EQ(wrap.countAtWrap, 0u);
    EXPECT_EQ(ReadFile(path), std::string(60, 'a') + std::string(50, 'b'));
    // Older text beyond the new position stays until overwritten.
    sink.Write(this->T("ZZ").c_str());
    EXPECT_EQ(ReadFile(path), "ZZ" + std::string(58, 'a') + std::string(50, 'b'));
    // Exactly at the limit is not past it.
    sink.Write(this->T(std::string(98, 'c')).c_str());
    EXPECT_EQ(wrap.calls, 1);
    EXPECT_EQ(sink.WrittenCount(), 100u);
  }
  std::remove(path.c_str());
}

TYPED_TEST(TraceTest, FileSinkWithoutLimitNeverWraps) {
  using Ch = TypeParam;
  const std::string path = TempFilePath(std::is_same<Ch, char>::value ? "flat_a" : "flat_w");
  CountingWrap<Ch> wrap;
  {
    BasicFileTraceSink<Ch> sink(this->T(path).c_str(), this->T("w").c_str(), 0, &wrap);
    EXPECT_NE(sink.TraceText(this->T("first\nsecond\n").c_str()), nullptr);
    for (int i = 0; i < 20; ++i) sink.Write(this->T(std::string(1000, 'x')).c_str());
    EXPECT_EQ(wrap.calls, 0);
  }
  std::string content = ReadFile(path);
  EXPECT_EQ(Lines(content.substr(0, content.find('x'))),
            (std::vector<std::string>{"first\n", "second\n"}));
  std::remove(path.c_str());

  // A file that cannot be opened: nothing written, tried again on the next trace.
  BasicFileTraceSink<Ch> lost(this->T(TempFilePath("no_dir") + "/t.log").c_str(),
                              this->T("w").c_str(), 0, nullptr);
  EXPECT_EQ(lost.TraceText(this->T("x").c_str()), nullptr);
  EXPECT_EQ(lost.TraceText(this->T("x").c_str()), nullptr);
}

TYPED_TEST(TraceTest, CurrentSinkAndEcho) {
  using Ch = TypeParam;
  // Start-up state (tests restore it): a NullTraceSink with echo off.
  ASSERT_NE(CurrentTraceSink<Ch>(), nullptr);
  EXPECT_EQ(std::basic_string<Ch>(CurrentTraceSink<Ch>()->Name()), this->T("NONE"));
  EXPECT_FALSE(CurrentTraceSink<Ch>()->EchoEnabled());

  bool destroyed = false;
  auto* sink = new RecordingSink<Ch>(&destroyed);
  SetTraceSink(sink);
  client_platform::SetLastError(0);
  { BasicClientException<Ch> quiet(this->T("not echoed").c_str()); }
  EXPECT_TRUE(sink->writes.empty());  // installing a sink does not switch echo on

  EnableTraceEcho<Ch>();
  { BasicClientException<Ch> e(this->T("50%% done").c_str()); }
  client_platform::SetLastError(2);
  { BasicClientException<Ch> e(this->T("failed").c_str()); }
  client_platform::SetLastError(0);
  ASSERT_EQ(sink->writes.size(), 2u);
  EXPECT_EQ(Lines(sink->writes[0]), std::vector<std::string>{"50% done"});
  const std::string rc =
      "GetLastErrorRC=2 (" + Narrow(client_platform::ErrorText(2, Ch())) + ")";
  EXPECT_EQ(Lines(sink->writes[1]), (std::vector<std::string>{"failed\n", rc}));

  DisableTraceEcho<Ch>();
  { BasicClientException<Ch> e(this->T("quiet again").c_str()); }
  EXPECT_EQ(sink->writes.size(), 2u);

  // Replacing the sink destroys the old one; having none at all is allowed.
  SetTraceSink<Ch>(nullptr);
  EXPECT_TRUE(destroyed);
  EnableTraceEcho<Ch>();
  { BasicClientException<Ch> e(this->T("no sink").c_str()); }
  TraceScopesEnabled = true;
  BasicTraceScope<Ch> scope(this->T("no sink").c_str());
}

TYPED_TEST(TraceTest, ScopesIndentPerDepthAndThread) {
  using Ch = TypeParam;
  auto* sink = new RecordingSink<Ch>();
  SetTraceSink(sink);
  { BasicTraceScope<Ch> off(this->T("off").c_str()); }  // scope tracing is off
  EXPECT_TRUE(sink->writes.empty());

  TraceScopesEnabled = true;
  std::vector<std::string> worker;
  {
    BasicTraceScope<Ch> outer(this->T("Load").c_str());
    {
      BasicTraceScope<Ch> inner(this->T("Parse").c_str());
      BasicTraceScope<Ch> unnamed(nullptr);  // writes nothing
      { BasicTraceScope<Ch> innermost(this->T("Line").c_str()); }
    }
    // Another thread starts at depth 0.
    RunOnNewThread([&] {
      BasicTraceScope<Ch> other(this->T("worker").c_str());
      worker.push_back(Narrow(sink->writes.back()));
    });
  }
  const std::string tid =
      FormatToString("%3d", static_cast<int>(client_platform::CurrentThreadId()));
  const std::vector<std::string> expected = {
      tid + " 0000: >>Load\n",       tid + " 0001:   >>Parse\n", tid + " 0002:       >>Line\n",
      tid + " 0002:       <<Line\n", tid + " 0001:   <<Parse\n", tid + " 0000: <<Load\n"};
  ASSERT_EQ(sink->writes.size(), expected.size() + 2);
  sink->writes.erase(sink->writes.begin() + 5, sink->writes.begin() + 7);  // the worker's
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Lines(sink->writes[i]), std::vector<std::string>{expected[i]}) << i;
  }
  ASSERT_EQ(worker.size(), 1u);
  EXPECT_NE(worker[0].find(" 0000: >>worker\n"), std::string::npos) << worker[0];
}

TYPED_TEST(TraceTest, FileNameOfAPath) {
  using Ch = TypeParam;
  struct Case {
    std::string path, name;
  } cases[] = {{"c:\\src\\installer.cpp", "installer.cpp"}, {"a\\b/c", "c"},
               {"plain.cpp", "plain.cpp"}, {"dir\\", ""}, {"C:name", "C:name"}};
  for (const Case& c : cases) {
    auto path = this->T(c.path);
    EXPECT_EQ(std::basic_string<Ch>(TraceFileName(path.c_str())), this->T(c.name)) << c.path;
  }
}

}  // namespace
