#include "services/tempname.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// A pretend file system: a set of directories and a set of existing files; a name below a
// refusing directory can never be made.
struct FakeFiles {
  std::set<std::string> dirs, files, refusing;
  int probes = 0;
  TempNameProbes Probes() {
    return TempNameProbes{
        [this](const std::string& p) { return dirs.count(p) > 0; },
        [this](const std::string& p) {
          ++probes;
          if (refusing.count(p.substr(0, p.find_last_of('\\')))) return NameClaim::kRefused;
          if (files.count(p) > 0 || dirs.count(p) > 0) return NameClaim::kTaken;
          files.insert(p);
          return NameClaim::kClaimed;
        }};
  }
};

}  // namespace

TEST(TempName, DirectoryChoice) {
  FakeFiles fs;
  fs.dirs = {"C:\\tmp", "C:\\temp"};
  TempNameProbes p = fs.Probes();
  struct Case {
    const char* tmp;
    const char* given;
    std::string expected;
  } cases[] = {
      {"C:\\tmp", "C:\\temp", "C:\\tmp"},       // TMP wins over the caller's TEMP
      {"C:\\missing", "C:\\temp", "C:\\temp"},  // TMP that is no directory is skipped
      {nullptr, "C:\\temp", "C:\\temp"},
      {"", "C:\\temp", "C:\\temp"},
      {nullptr, "C:\\gone", "D:\\cwd"},
      {nullptr, nullptr, "D:\\cwd"},
      {"", "", "D:\\cwd"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseTempDirectory(c.tmp, c.given, "D:\\cwd", p), c.expected)
        << (c.tmp ? c.tmp : "(null)") << " / " << (c.given ? c.given : "(null)");
  }
}

TEST(TempName, SequenceStartsAtTwoAndNeverRepeats) {
  FakeFiles fs;
  TempNameProbes p = fs.Probes();
  TempNameSequence seq;
  const std::string prefix = TempNamePrefix(0x4807A475);
  EXPECT_EQ(TempNamePrefix(0x1F), "_stowkit_tmp0000001F.");
  EXPECT_EQ(seq.NextName("C:\\t", prefix, p), "C:\\t\\_stowkit_tmp4807A475.2");
  EXPECT_EQ(seq.NextName("C:\\t", prefix, p), "C:\\t\\_stowkit_tmp4807A475.3");
  // A directory that already ends in a separator gets no second one.
  EXPECT_EQ(seq.NextName("C:\\t\\", prefix, p), "C:\\t\\_stowkit_tmp4807A475.4");
  EXPECT_EQ(seq.NextName("/tmp/", prefix, p), "/tmp/_stowkit_tmp4807A475.5");
}

TEST(TempName, ExistingNamesArePassedOverAndNotRetried) {
  FakeFiles fs;
  fs.files = {"d\\p.2", "d\\p.3", "d\\p.5"};
  TempNameProbes p = fs.Probes();
  TempNameSequence seq;
  EXPECT_EQ(seq.NextName("d", "p.", p), "d\\p.4");
  EXPECT_EQ(seq.NextName("d", "p.", p), "d\\p.6");
  EXPECT_EQ(seq.NextNumber(), 7u);
}

TEST(TempName, GivesUpAfterTheAttemptLimit) {
  FakeFiles fs;
  TempNameProbes p{[](const std::string&) { return true; },
                   [&fs](const std::string&) { ++fs.probes; return NameClaim::kTaken; }};
  TempNameSequence seq;
  EXPECT_EQ(seq.NextName("d", "p.", p), "");
  EXPECT_EQ(fs.probes, static_cast<int>(kTempNameAttempts));
  // The next request goes on after the numbers already used.
  EXPECT_EQ(seq.NextNumber(), kTempNameFirstNumber + kTempNameAttempts);
}

TEST(TempName, OverlongDirectoryIsRefusedAtOnce) {
  FakeFiles fs;
  TempNameProbes p = fs.Probes();
  TempNameSequence seq;
  const std::string prefix = TempNamePrefix(1);  // 21 characters
  std::string fits(kTempNameDirAndPrefixLimit - prefix.size(), 'x');
  std::string name = seq.NextName(fits, prefix, p);
  EXPECT_EQ(name, fits + "\\" + prefix + "2");
  EXPECT_EQ(seq.NextName(fits + "x", prefix, p), "");
  EXPECT_EQ(fs.probes, 1);
}

TEST(TempName, ADirectoryThatRefusesNewFilesEndsTheSearchAtOnce) {
  FakeFiles fs;
  fs.refusing = {"C:\\locked"};
  TempNameProbes p = fs.Probes();
  TempNameSequence seq;
  EXPECT_EQ(seq.NextName("C:\\locked", "p.", p), "");
  EXPECT_EQ(fs.probes, 1);
}
