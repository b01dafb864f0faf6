#include "services/memoryprofile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Records the lines the collector hands on.
class LineRecorder : public LineCollector {
 public:
  void HandleLine(const char* line, size_t length) override {
    lines.emplace_back(line, length);
  }
  std::vector<std::string> lines;
};

void FeedText(LineCollector& collector, const std::string& text, bool final = true) {
  collector.Feed(final, text.size(), text.data());
}

std::unique_ptr<MemoryProfile> Profile(const std::string& text, bool trim = true) {
  auto profile = std::make_unique<MemoryProfile>(nullptr);
  profile->SetTrimValues(trim);
  FeedText(*profile, text);
  return profile;
}

std::string Get(const MemoryProfile& profile, const char* section, const char* key,
                const char* def = nullptr) {
  char buffer[256];
  int got = profile.GetString(section, key, def, buffer, sizeof buffer);
  EXPECT_GE(got, 0);
  return buffer;
}

TEST(LineCollector, CutsLinesAcrossFeeds) {
  struct Case {
    std::vector<std::string> pieces;
    bool finalLast;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{"a\r\nb\r\n"}, true, {"a", "b"}},               // one CR before LF dropped
      {{"a\r\r\n"}, true, {"a\r"}},                      // only one
      {{"a\rb\n"}, true, {"a\rb"}},                      // a lone CR stays
      {{"last"}, true, {"last"}},                        // no final LF, final flag
      {{"last"}, false, {}},                             // kept pending
      {{"ab", "c\nd", "e\n"}, true, {"abc", "de"}},      // pending text joins the next line
      {{"a\r", "\nb"}, true, {"a", "b"}},                // CR in pending, LF in the next feed
      {{"\n\n"}, true, {"", ""}},                        // empty lines are lines
      {{"", "x", ""}, true, {"x"}},                      // empty feeds change nothing
  };
  for (const Case& c : cases) {
    LineRecorder recorder;
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      bool final = c.finalLast && i + 1 == c.pieces.size();
      EXPECT_EQ(0, recorder.Feed(final, c.pieces[i].size(), c.pieces[i].data()));
    }
    EXPECT_EQ(c.lines, recorder.lines) << "first piece: " << c.pieces[0];
  }
}

TEST(LineCollector, BaseKeepsLinesUnchangedAsEntries) {
  LineCollector collector;
  FeedText(collector, "  spaced  \n# comment\n[x]");
  EXPECT_EQ((std::vector<std::string>{"  spaced  ", "# comment", "[x]"}), collector.Entries());
}

TEST(MemoryProfile, IniRulesDecideWhichLinesBecomeEntries) {
  auto profile = Profile(
      "top = before any section\n"
      "   \t \n"
      "# x = 1\n"
      "// x = 2\n"
      "; semi = colon\n"
      "[a]\n"                       // 3 characters: no header, no '=' either
      "[ab ]\n"                     // header ab
      "[   ]\n"                     // empty name: section unchanged
      "no equals sign\n"
      "  Key1 \t=  value with # hash  \n"
      "[a=b]\n"                     // a header, even with '='
      "k = v\n");
  EXPECT_EQ((std::vector<std::string>{"\\top=before any section", "\\; semi=colon",
                                      "ab\\Key1=value with # hash", "a=b\\k=v"}),
            profile->Entries());
}

TEST(MemoryProfile, LookupsIgnoreCaseAndFirstDuplicateWins) {
  auto profile = Profile(
      "top=1\n"
      "[info]\n"
      "description = x\n"
      "Description = second\n"
      "key = a = b\n"
      "empty =\n"
      "[Other]\n"
      "description = other\n");
  EXPECT_EQ("x", Get(*profile, "INFO", "DESCRIPTION"));
  EXPECT_EQ("other", Get(*profile, "other", "description"));
  EXPECT_EQ("a = b", Get(*profile, "Info", "key"));
  EXPECT_EQ("", Get(*profile, "info", "empty", "default"));     // present but empty
  EXPECT_EQ("default", Get(*profile, "info", "absent", "default"));
  EXPECT_EQ("", Get(*profile, "info", "absent", nullptr));
  EXPECT_EQ("1", Get(*profile, "", "top"));
  EXPECT_EQ("", Get(*profile, "info", "top"));                  // only under the empty section
  EXPECT_EQ("", Get(*profile, "inf", "description"));           // no partial section match
  EXPECT_EQ("", Get(*profile, "info", "desc"));                  // no partial key match
}

TEST(MemoryProfile, ValuesKeepTheirBlanksUnlessTrimmed) {
  // The line's own end is always trimmed; the blanks after "=" only with the flag.
  EXPECT_EQ("  v", Get(*Profile("[sec]\nk=  v  \n", false), "sec", "k"));
  EXPECT_EQ("v", Get(*Profile("[sec]\nk=  v  \n", true), "sec", "k"));
}

TEST(MemoryProfile, GetStringReportsTruncationLikeABoundedPrint) {
  auto profile = Profile("[sec]\nk=abcd\n");
  struct Case {
    int size;
    int result;
    const char* copy;
  };
  const Case cases[] = {{10, 4, "abcd"}, {5, 4, "abcd"}, {4, 4, "abc"}, {3, -1, "ab"}, {1, -1, ""}};
  for (const Case& c : cases) {
    char buffer[16];
    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(c.result, profile->GetString("sec", "k", nullptr, buffer, c.size)) << c.size;
    EXPECT_STREQ(c.copy, buffer) << c.size;
    EXPECT_EQ('Z', buffer[c.size]) << "wrote past the buffer, size " << c.size;
  }
  char untouched = 'Z';
  EXPECT_EQ(0, profile->GetString("sec", "k", nullptr, &untouched, 0));
  EXPECT_EQ(0, profile->GetString("sec", "k", nullptr, &untouched, -5));
  EXPECT_EQ('Z', untouched);
  EXPECT_EQ(0, profile->GetString("sec", "k", nullptr, nullptr, 10));
  // A default is bounded the same way.
  char small[3];
  EXPECT_EQ(-1, profile->GetString("sec", "absent", "long default", small, sizeof small));
  EXPECT_STREQ("lo", small);
}

TEST(MemoryProfile, GetIntTriesEachNumberFormInTurn) {
  struct Case {
    const char* value;
    int expected;
  };
  const Case cases[] = {
      {"0", 0},          {"17", 17},       {"-5", -5},         {"0x1F", 31},
      {"0X1f", 31},      {"017", 15},      {"010", 8},         {"1F", 31},
      {"ff", 255},       {"00", 0},        {"0x0", 0},         {"  42  ", 42},
      {"12 apples", 99}, {"yes", 99},      {"", 99},           {"08", 8},        // not octal: the decimal form reads it
  };
  for (const Case& c : cases) {
    auto profile = Profile(std::string("[sec]\nk=") + c.value + "\n");
    EXPECT_EQ(c.expected, profile->GetInt("sec", "k", 99)) << "'" << c.value << "'";
  }
  EXPECT_EQ(99, Profile("[sec]\nother=1\n")->GetInt("sec", "k", 99));
}

TEST(MemoryProfile, GetIntReadsAtMost63Characters) {
  std::string padded(62, ' ');
  EXPECT_EQ(7, Profile("[sec]\nk=" + padded + "7\n", false)->GetInt("sec", "k", 99));  // 63 chars
  // 64 characters: scanned without the last one, so only blanks remain.
  EXPECT_EQ(99, Profile("[sec]\nk=" + padded + " 7\n", false)->GetInt("sec", "k", 99));
  // Longer: the cut copy ("7" and blanks) is not scanned.
  EXPECT_EQ(99, Profile("[sec]\nk=7" + std::string(70, ' ') + "x\n")->GetInt("sec", "k", 99));
}

}  // namespace
