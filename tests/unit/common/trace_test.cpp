// The trace facility in both widths: line prefixes, the fixed-arity forms, file sinks with
// their wrap, scopes, the current sink and the echo of error texts.
#include "trace.h"

#include <gtest/gtest.h>

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
  bool openOk = true;
  bool lockOk = true;
  std::vector<std::basic_string<Ch>> writes;

 private:
  std::basic_string<Ch> name_ = Str<Ch>("RECORD");
  bool* destroyed_;
};

template <class Ch>
std::basic_string<Ch> S(const std::string& s) {
  return Str<Ch>(s);
}

// "HH:MM:SS.mmm : <thread> : " for this thread.
template <class Ch>
bool IsPrefix(const std::basic_string<Ch>& p) {
  std::string n = Narrow(p);
  std::string thread = FormatToString("%04X", static_cast<unsigned>(client_platform::CurrentThreadId()));
  std::string tail = " : " + thread + " : ";
  if (n.size() != 12 + tail.size() || n.substr(12) != tail) return false;
  const char* shape = "dd:dd:dd.ddd";
  for (size_t i = 0; i < 12; ++i) {
    if (shape[i] == 'd' ? !isdigit(static_cast<unsigned char>(n[i])) : n[i] != shape[i]) return false;
  }
  return true;
}

// Splits traced output into (prefix, body) pairs, each body ending after its newline.
template <class Ch>
std::vector<std::basic_string<Ch>> Bodies(const std::basic_string<Ch>& out, bool* prefixesOk) {
  std::vector<std::basic_string<Ch>> bodies;
  *prefixesOk = true;
  size_t prefixLength = 12 + 3 + FormatToString("%04X", static_cast<unsigned>(
                                                            client_platform::CurrentThreadId()))
                                     .size() +
                        3;
  size_t pos = 0;
  while (pos < out.size()) {
    if (!IsPrefix(out.substr(pos, prefixLength))) *prefixesOk = false;
    pos += prefixLength;
    size_t nl = out.find(Ch('\n'), pos);
    size_t end = nl == std::basic_string<Ch>::npos ? out.size() : nl + 1;
    bodies.push_back(out.substr(pos, end - pos));
    pos = end;
  }
  return bodies;
}

template <class Ch>
class TraceTest : public ::testing::Test {
 protected:
  using Str_ = std::basic_string<Ch>;
  using List = std::vector<Str_>;
  void TearDown() override {
    TraceScopesEnabled = false;
    SetTraceSink<Ch>(new BasicNullTraceSink<Ch>());
  }
  static List L(const std::vector<std::string>& items) {
    List out;
    for (const auto& i : items) out.push_back(S<Ch>(i));
    return out;
  }
  static const Ch* Fmt(const std::string& narrowFormat) {
    // %s in narrow test formats becomes the wide string conversion in the wide build.
    static std::vector<Str_> keep;
    std::string f = narrowFormat;
    if (!std::is_same<Ch, char>::value) {
      std::string wide;
      for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '%' && i + 1 < f.size() && f[i + 1] == 's') {
          wide += "%" TEST_WIDE_S;
          ++i;
        } else {
          wide += f[i];
        }
      }
      f = wide;
    }
    keep.push_back(S<Ch>(f));
    return keep.back().c_str();
  }
};

using Widths = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(TraceTest, Widths);

TYPED_TEST(TraceTest, EveryLineGetsTheTimeAndThreadPrefix) {
  using Ch = TypeParam;
  struct Case {
    std::string message;
    std::vector<std::string> bodies;
  } cases[] = {
      {"a\nb", {"a\n", "b"}},  // no newline added after the last piece
      {"a\n", {"a\n"}},        // nothing after a final newline
      {"\n\nx", {"\n", "\n", "x"}},
      {"one line", {"one line"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    RecordingSink<Ch> sink;
    auto message = S<Ch>(c.message);
    const Ch* result = sink.TraceText(message.c_str());
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(sink.writes.size(), 1u);
    EXPECT_EQ(std::basic_string<Ch>(result), sink.writes[0]);
    bool prefixesOk = false;
    EXPECT_EQ(Bodies(sink.writes[0], &prefixesOk), this->L(c.bodies)) << c.message;
    EXPECT_TRUE(prefixesOk) << Narrow(sink.writes[0]);
  }
}

TYPED_TEST(TraceTest, FixedFormsPassTheirArgumentsOn) {
  using Ch = TypeParam;
  RecordingSink<Ch> sink;
  auto file = S<Ch>("installer");
  auto a = S<Ch>("alpha"), b = S<Ch>("beta");
  struct Case {
    const Ch* result;
    std::string body;
  } cases[] = {
      {sink.TraceLocation(file.c_str(), 42), "installer            L42   - "},
      {sink.TraceLocation(S<Ch>("a-very-long-source-file-name").c_str(), 12345),
       "a-very-long-source-file-name L12345 - "},
      {sink.TracePair(this->Fmt("%s+%s"), a.c_str(), b.c_str()), "alpha+beta"},
      {sink.TracePair(this->Fmt("%ld/%ld"), 3L, -4L), "3/-4"},
      {sink.TraceValue(this->Fmt("[%s]"), a.c_str()), "[alpha]"},
      {sink.TraceValue(this->Fmt("%05ld"), 42L), "00042"},
      {sink.TraceText(S<Ch>("100% sure %s %d").c_str()), "100% sure %s %d"},
  };
  ASSERT_EQ(sink.writes.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    bool prefixesOk = false;
    EXPECT_EQ(Bodies(sink.writes[i], &prefixesOk), this->L({cases[i].body})) << i;
    EXPECT_TRUE(prefixesOk);
    ASSERT_NE(cases[i].result, nullptr);
  }
  // The location body is 29 characters: name in 20, " L", line in 4, " - ".
  EXPECT_EQ(std::string("installer            L42   - ").size(), 29u);
}

TYPED_TEST(TraceTest, NothingIsWrittenWhenOpenOrLockFails) {
  using Ch = TypeParam;
  RecordingSink<Ch> closed;
  closed.openOk = false;
  EXPECT_EQ(closed.TraceText(S<Ch>("x").c_str()), nullptr);
  RecordingSink<Ch> busy;
  busy.lockOk = false;
  EXPECT_EQ(busy.TraceText(S<Ch>("x").c_str()), nullptr);
  EXPECT_TRUE(closed.writes.empty());
  EXPECT_TRUE(busy.writes.empty());

  BasicNullTraceSink<Ch> none;
  EXPECT_EQ(none.TraceText(S<Ch>("x").c_str()), nullptr);
  EXPECT_EQ(none.TraceLocation(S<Ch>("f").c_str(), 1), nullptr);
  EXPECT_EQ(none.Write(S<Ch>("x").c_str()), 0);
}

TYPED_TEST(TraceTest, SinkNames) {
  using Ch = TypeParam;
  BasicNullTraceSink<Ch> none;
  BasicDebugTraceSink<Ch> debug;
  BasicFileTraceSink<Ch> file(S<Ch>("C:\\logs\\t.log").c_str(), S<Ch>("a").c_str(), 0, nullptr);
  EXPECT_EQ(std::basic_string<Ch>(none.Name()), S<Ch>("NONE"));
  EXPECT_EQ(std::basic_string<Ch>(debug.Name()), S<Ch>("DEBUG"));
  EXPECT_EQ(std::basic_string<Ch>(file.Name()), S<Ch>("FILE {C:\\logs\\t.log} a"));
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
  return all.str();
}

TYPED_TEST(TraceTest, FileSinkWrapsAfterPassingItsLimit) {
  using Ch = TypeParam;
  const std::string path = TempFilePath(std::is_same<Ch, char>::value ? "wrap_a.log" : "wrap_w.log");
  CountingWrap<Ch> wrap;
  {
    BasicFileTraceSink<Ch> sink(S<Ch>(path).c_str(), S<Ch>("w").c_str(), 100, &wrap);
    ASSERT_TRUE(sink.Open());
    EXPECT_EQ(sink.Write(S<Ch>(std::string(60, 'a')).c_str()), 60);
    EXPECT_EQ(sink.WrittenCount(), 60u);
    EXPECT_EQ(wrap.calls, 0);
    // The write that passes the limit still goes out whole, then writing starts over.
    EXPECT_EQ(sink.Write(S<Ch>(std::string(50, 'b')).c_str()), 50);
    EXPECT_EQ(wrap.calls, 1);
    EXPECT_EQ(wrap.countAtWrap, 0u);
    EXPECT_EQ(sink.WrittenCount(), 0u);
    EXPECT_EQ(ReadFile(path), std::string(60, 'a') + std::string(50, 'b'));
    // Older text beyond the new position stays until overwritten.
    sink.Write(S<Ch>("ZZ").c_str());
    EXPECT_EQ(ReadFile(path), "ZZ" + std::string(58, 'a') + std::string(50, 'b'));
    EXPECT_EQ(sink.WrittenCount(), 2u);
    // Exactly at the limit is not past it.
    EXPECT_EQ(sink.Write(S<Ch>(std::string(98, 'c')).c_str()), 98);
    EXPECT_EQ(wrap.calls, 1);
  }
  std::remove(path.c_str());
}

TYPED_TEST(TraceTest, FileSinkWithoutLimitNeverWrapsAndTracesWithPrefixes) {
  using Ch = TypeParam;
  const std::string path = TempFilePath(std::is_same<Ch, char>::value ? "nolimit_a.log" : "nolimit_w.log");
  CountingWrap<Ch> wrap;
  {
    BasicFileTraceSink<Ch> sink(S<Ch>(path).c_str(), S<Ch>("w").c_str(), 0, &wrap);
    EXPECT_NE(sink.TraceText(S<Ch>("first\nsecond\n").c_str()), nullptr);
    for (int i = 0; i < 20; ++i) sink.Write(S<Ch>(std::string(1000, 'x')).c_str());
    EXPECT_EQ(wrap.calls, 0);
    EXPECT_GT(sink.WrittenCount(), 20000u);
  }
  std::string content;
  for (char c : ReadFile(path)) {
    if (c != '\r') content.push_back(c);  // text mode on Windows writes CR LF
  }
  bool prefixesOk = false;
  auto firstTwo = content.substr(0, content.find('x'));
  EXPECT_EQ(Bodies(firstTwo, &prefixesOk), (std::vector<std::string>{"first\n", "second\n"}));
  EXPECT_TRUE(prefixesOk) << firstTwo;
  std::remove(path.c_str());
}

TYPED_TEST(TraceTest, FileSinkThatCannotOpenWritesNothingAndTriesAgain) {
  using Ch = TypeParam;
  const std::string dir = TempFilePath("no_such_dir");
  BasicFileTraceSink<Ch> sink(S<Ch>(dir + "/t.log").c_str(), S<Ch>("w").c_str(), 0, nullptr);
  EXPECT_EQ(sink.TraceText(S<Ch>("lost").c_str()), nullptr);
  EXPECT_EQ(sink.TraceText(S<Ch>("lost").c_str()), nullptr);
  EXPECT_EQ(sink.WrittenCount(), 0u);
}

TYPED_TEST(TraceTest, CurrentSinkAndEcho) {
  using Ch = TypeParam;
  // Start-up state (tests restore it): a NullTraceSink with echo off.
  ASSERT_NE(CurrentTraceSink<Ch>(), nullptr);
  EXPECT_EQ(std::basic_string<Ch>(CurrentTraceSink<Ch>()->Name()), S<Ch>("NONE"));
  EXPECT_FALSE(CurrentTraceSink<Ch>()->EchoEnabled());

  bool firstDestroyed = false;
  auto* sink = new RecordingSink<Ch>(&firstDestroyed);
  SetTraceSink(sink);
  EXPECT_EQ(CurrentTraceSink<Ch>(), sink);
  EXPECT_FALSE(sink->EchoEnabled());  // installing a sink does not switch echo on

  client_platform::SetLastError(0);
  { BasicClientException<Ch> quiet(S<Ch>("not echoed").c_str()); }
  EXPECT_TRUE(sink->writes.empty());

  EnableTraceEcho<Ch>();
  EXPECT_TRUE(sink->EchoEnabled());
  { BasicClientException<Ch> e(S<Ch>("50%% done").c_str()); }
  ASSERT_EQ(sink->writes.size(), 1u);
  bool prefixesOk = false;
  // The error text goes out as plain text: its "%" is not read as a conversion again.
  EXPECT_EQ(Bodies(sink->writes[0], &prefixesOk), this->L({"50% done"}));

  client_platform::SetLastError(2);
  { BasicClientException<Ch> e(S<Ch>("failed").c_str()); }
  client_platform::SetLastError(0);
  ASSERT_EQ(sink->writes.size(), 2u);
  const typename TestFixture::List lines = {
      S<Ch>("failed\n"),
      S<Ch>("GetLastErrorRC=2 (") + client_platform::ErrorText(2, Ch()) + S<Ch>(")")};
  EXPECT_EQ(Bodies(sink->writes[1], &prefixesOk), lines);
  EXPECT_TRUE(prefixesOk);

  DisableTraceEcho<Ch>();
  { BasicClientException<Ch> e(S<Ch>("quiet again").c_str()); }
  EXPECT_EQ(sink->writes.size(), 2u);

  // Replacing the sink destroys the old one; no sink at all is allowed.
  SetTraceSink<Ch>(nullptr);
  EXPECT_TRUE(firstDestroyed);
  EXPECT_EQ(CurrentTraceSink<Ch>(), nullptr);
  EnableTraceEcho<Ch>();  // nothing to switch
  { BasicClientException<Ch> e(S<Ch>("no sink").c_str()); }
  BasicTraceScope<Ch> scope(S<Ch>("no sink").c_str());
}

TYPED_TEST(TraceTest, ScopesIndentPerDepth) {
  using Ch = TypeParam;
  auto* sink = new RecordingSink<Ch>();
  SetTraceSink(sink);
  {
    BasicTraceScope<Ch> off(S<Ch>("off").c_str());  // scope tracing is off
  }
  EXPECT_TRUE(sink->writes.empty());

  TraceScopesEnabled = true;
  {
    BasicTraceScope<Ch> outer(S<Ch>("Load").c_str());
    {
      BasicTraceScope<Ch> inner(S<Ch>("Parse").c_str());
      BasicTraceScope<Ch> unnamed(nullptr);  // writes nothing
      { BasicTraceScope<Ch> innermost(S<Ch>("Line").c_str()); }
    }
  }
  TraceScopesEnabled = false;
  std::string tid = FormatToString("%3d", static_cast<int>(client_platform::CurrentThreadId()));
  const std::vector<std::string> expected = {
      tid + " 0000: >>Load\n",        tid + " 0001:   >>Parse\n", tid + " 0002:       >>Line\n",
      tid + " 0002:       <<Line\n",  tid + " 0001:   <<Parse\n", tid + " 0000: <<Load\n",
  };
  ASSERT_EQ(sink->writes.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    bool prefixesOk = false;
    EXPECT_EQ(Bodies(sink->writes[i], &prefixesOk), this->L({expected[i]})) << i;
    EXPECT_TRUE(prefixesOk);
  }
}

TYPED_TEST(TraceTest, ScopeDepthIsPerThread) {
  using Ch = TypeParam;
  auto* sink = new RecordingSink<Ch>();
  SetTraceSink(sink);
  TraceScopesEnabled = true;
  {
    BasicTraceScope<Ch> outer(S<Ch>("main").c_str());
    RunOnNewThread([] { BasicTraceScope<Ch> other(S<Ch>("worker").c_str()); });
  }
  TraceScopesEnabled = false;
  ASSERT_EQ(sink->writes.size(), 4u);
  // The worker starts at depth 0 although the main thread is inside a scope.
  EXPECT_NE(Narrow(sink->writes[1]).find(" 0000: >>worker\n"), std::string::npos);
  EXPECT_NE(Narrow(sink->writes[2]).find(" 0000: <<worker\n"), std::string::npos);
}

TYPED_TEST(TraceTest, FileNameOfAPath) {
  using Ch = TypeParam;
  struct Case {
    std::string path, name;
  } cases[] = {{"c:\\src\\installer.cpp", "installer.cpp"},
               {"src/run/x.cpp", "x.cpp"},
               {"a\\b/c", "c"},
               {"plain.cpp", "plain.cpp"},
               {"dir\\", ""},
               {"C:name", "C:name"}};
  for (const Case& c : cases) {
    auto path = S<Ch>(c.path);
    const Ch* name = TraceFileName(path.c_str());
    EXPECT_EQ(std::basic_string<Ch>(name), S<Ch>(c.name)) << c.path;
    EXPECT_TRUE(name >= path.c_str() && name <= path.c_str() + path.size());  // points into it
  }
}

}  // namespace
