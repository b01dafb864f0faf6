#include "run/runsteps.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commandline.h"

namespace {

// A cursor over the given text, as the runner makes one over the process command line.
struct KitCommandLine {
  explicit KitCommandLine(const char* text) : cursor(text) {}
  BasicCommandLineCursor<char> cursor;
};

TEST(KitArguments, LogOptionOnlyAsArgumentOne) {
  struct Case {
    const char* commandLine;
    bool hasLog;
    const char* logValue;
    const char* text;
  };
  const Case cases[] = {
      {"kit.exe", false, "", ""},
      {"kit.exe /s x", false, "", "\"/s\" \"x\""},
      {"kit.exe -log:C:\\x.log /s", true, "C:\\x.log", "\"/s\""},
      {"kit.exe -LOG=a=b.log", true, "a=b.log", ""},
      {"kit.exe -l x.log y", true, "x.log", "\"y\""},           // value as the next argument
      {"kit.exe /Lo \"my log.txt\" y", true, "my log.txt", "\"y\""},
      {"kit.exe -log: rest", true, "", "\"rest\""},             // empty value, still consumed
      {"kit.exe -log", false, "", ""},                          // switch removed, no value
      {"kit.exe x -log:y.log", false, "", "\"x\" \"-log:y.log\""},  // argument 2: ordinary
      {"kit.exe -logs:x", false, "", "\"-logs:x\""},            // not an abbreviation
      {"kit.exe -debug a", false, "", "\"-debug\" \"a\""},
  };
  for (const Case& c : cases) {
    KitCommandLine line(c.commandLine);
    KitArguments args = TakeKitArguments(line.cursor);
    EXPECT_EQ(c.hasLog, args.hasLog) << c.commandLine;
    EXPECT_EQ(c.logValue, args.logValue) << c.commandLine;
    EXPECT_EQ(c.text, args.text) << c.commandLine;
    EXPECT_STREQ(c.text, ProcessRawCommandLine<char>()) << c.commandLine;
  }
}

TEST(KitArguments, ArgumentsSurviveQuotingUnchanged) {
  // What the installer's own parser gets back from the text must be what the kit was given.
  const std::vector<std::string> given = {"C:\\dir\\", "say \"hi\"", "a\\\\b", "", "tab\there"};
  std::string commandLine = "kit.exe";
  for (const std::string& arg : given) commandLine += " " + QuoteArgument(arg);
  KitCommandLine line(commandLine.c_str());
  KitArguments args = TakeKitArguments(line.cursor);
  EXPECT_EQ(given, SplitCommandLine(args.text.c_str()));
}

TEST(DebugSwitch, ScanStartsAtArgumentOneAndSkipsAfterARemoval) {
  struct Case {
    const char* kitArguments;  // the raw command line after the program name is gone
    bool on;
    const char* remaining;  // the process command line afterwards
  };
  const Case cases[] = {
      {"\"-debug\"", false, nullptr},            // argument 0 is never examined
      {"\"x\" \"-debug\"", true, "\"x\""},
      {"\"x\" \"/DEB\" \"y\"", true, "\"x\" \"y\""},
      {"\"x\" \"-de\"", false, nullptr},         // too short for debug
      {"\"x\" \"-db\"", true, "\"x\""},
      {"\"x\" \"-d\"", false, nullptr},
      {"\"x\" \"-dbg\" \"-dbg\"", true, "\"x\" \"-dbg\""},  // the moved-in one is skipped
      {"\"x\" \"-dbg\" \"y\" \"-debug\"", true, "\"x\" \"y\""},
      {"\"x\" \"debug\"", false, nullptr},       // not a switch
  };
  for (const Case& c : cases) {
    ResetProcessRawCommandLine<char>();
    BasicCommandLineCursor<char> cursor(c.kitArguments);
    EXPECT_EQ(c.on, TakeDebugSwitches(cursor)) << c.kitArguments;
    // Null: nothing removed, so the process command line was never rewritten.
    EXPECT_STREQ(c.remaining, ProcessRawCommandLine<char>()) << c.kitArguments;
  }
}

TEST(Substitution, FirstMarkerOfEachKindOnly) {
  struct Case {
    const char* command;
    const char* args;
    const char* result;
  };
  const Case cases[] = {
      {".\\setup.exe [ARGS]", "\"/s\" \"x\"", ".\\setup.exe \"/s\" \"x\""},
      {"setup.exe <ARGS> [ARGS]", "", "setup.exe  "},
      {"a <ARGS> <ARGS>", "X", "a X <ARGS>"},
      {"a [ARGS] <ARGS> [ARGS]", "X", "a X X [ARGS]"},
      {"a <args> [Args]", "X", "a <args> [Args]"},           // exact case only
      {"no markers", "X", "no markers"},
      {"<ARGS>", "\"[ARGS]\"", "\"[ARGS]\""},                // arguments are not rescanned
      {"<ARGS>[ARGS]", "\"<ARGS>\"", "\"<ARGS>\"\"<ARGS>\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result, SubstituteKitArguments(c.command, c.args)) << c.command;
  }
}

std::string FakeAnsi(const std::u16string& units) {
  std::string out;
  for (char16_t u : units) out.push_back(u < 0x100 ? static_cast<char>(u) : '?');
  return out;
}

std::string Decode(const std::vector<unsigned char>& bytes) {
  std::vector<unsigned char> padded = bytes;
  padded.resize(bytes.size() + 6, 0);  // as ReadWholeFile leaves it
  return DecodeControlFile(padded.data(), bytes.size(), FakeAnsi);
}

TEST(ControlFile, Utf16WithMarkElseEightBit) {
  EXPECT_EQ("[I]\r\n", Decode({0xFF, 0xFE, '[', 0, 'I', 0, ']', 0, '\r', 0, '\n', 0}));
  EXPECT_EQ("a?", Decode({0xFF, 0xFE, 'a', 0, 0x3A, 0x26}));          // outside the code page
  EXPECT_EQ("ab", Decode({0xFF, 0xFE, 'a', 0, 'b', 0, 0, 0, 'c', 0}));  // up to a zero unit
  EXPECT_EQ("", Decode({0xFF, 0xFE}));                               // mark only
  EXPECT_EQ("A", Decode({0xFF, 0xFE, 'A'}));                         // odd length
  // Fourth byte not 0: 8-bit text, mark bytes included.
  EXPECT_EQ("\xFF\xFE" "ab", Decode({0xFF, 0xFE, 'a', 'b'}));
  EXPECT_EQ("[INFO]\n", Decode({'[', 'I', 'N', 'F', 'O', ']', '\n'}));
  EXPECT_EQ("ab", Decode({'a', 'b', 0, 'c'}));
  EXPECT_EQ("", Decode({}));
}

TEST(TargetNames, OnlyPlainRelativePathsInsideTheWorkingDirectory) {
  struct Case {
    const char* target;
    TargetProblem problem;
  };
  const Case cases[] = {
      {"sub/dir\\\\file.txt", TargetProblem::kNone},
      {"a\\..\\b.txt", TargetProblem::kNone},
      {".\\b.txt", TargetProblem::kNone},
      {"icon\\con.d\\x", TargetProblem::kDeviceName},  // any segment, any extension
      {"console.txt", TargetProblem::kNone},
      {"..\\evil.txt", TargetProblem::kLeavesWorkDir},
      {"a\\..\\..\\evil.txt", TargetProblem::kLeavesWorkDir},
      {" .. \\evil.txt", TargetProblem::kLeavesWorkDir},
      {"...\\evil.txt", TargetProblem::kLeavesWorkDir},
      {"a\\. .\\x", TargetProblem::kLeavesWorkDir},
      {"\\\\server\\share\\evil.txt", TargetProblem::kRooted},
      {"c:evil.txt", TargetProblem::kColon},
      {"sub\\com1.txt", TargetProblem::kDeviceName},
      {"Con .txt", TargetProblem::kDeviceName},
      {"lpt9", TargetProblem::kDeviceName},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(c.problem), static_cast<int>(CheckTargetName(c.target)))
        << c.target;
  }
}

TEST(TargetNames, TrailBytesOfDoubleByteCharactersAreNoSeparators) {
  // 0x81 leads a double-byte character here; the system reads "\x81\\" as one character, so
  // "\x81\\x" is one level and the two ".." that follow climb out.
  auto lead = [](unsigned char c) { return c == 0x81; };
  const std::string climbs = "\x81\\x\\..\\..\\evil.txt";
  EXPECT_EQ(static_cast<int>(TargetProblem::kLeavesWorkDir),
            static_cast<int>(CheckTargetName(climbs, lead)));
  EXPECT_EQ(static_cast<int>(TargetProblem::kNone),
            static_cast<int>(CheckTargetName("\x81\\x\\..\\fine.txt", lead)));
  using Levels = std::vector<std::string>;
  EXPECT_EQ(Levels{"\x81\\a"}, DirectoryLevels("\x81\\a\\b.txt", lead));
  EXPECT_EQ((Levels{"\x81", "\x81\\a"}), DirectoryLevels("\x81\\a\\b.txt"));
  EXPECT_EQ(Levels{"a"}, DirectoryLevels("a\\\x81", lead));  // a lead byte at the end
}

TEST(TargetNames, DirectoryLevelsAreCreatedOuterFirst) {
  using Levels = std::vector<std::string>;
  EXPECT_EQ(Levels{}, DirectoryLevels("file.txt"));
  EXPECT_EQ((Levels{"sub", "sub\\dir"}), DirectoryLevels("sub/ dir /file.txt"));
  EXPECT_EQ(Levels{"a"}, DirectoryLevels("a\\\\b.txt"));
  EXPECT_EQ((Levels{"a", "a\\b"}), DirectoryLevels("a\\b\\"));
}

std::unique_ptr<MemoryProfile> FilesProfile(const std::vector<int>& numbers,
                                            const char* extra = "") {
  std::string text = "[FILES]\n";
  for (int n : numbers) text += "F" + std::to_string(n) + " = t" + std::to_string(n) + ", src\n";
  text += extra;
  auto profile = std::make_unique<MemoryProfile>(nullptr);
  profile->SetTrimValues(true);
  profile->Feed(true, text.size(), text.data());
  return profile;
}

std::vector<int> Visited(const std::unique_ptr<MemoryProfile>& profile) {
  std::vector<int> numbers;
  ForEachMember(*profile, [&](const UnpackMember& m) {
    EXPECT_EQ("F" + std::to_string(m.number), m.key);
    numbers.push_back(m.number);
  });
  return numbers;
}

TEST(MemberScan, GapsCostOneMissEachAndTheScanStopsAfter100) {
  std::vector<int> keys;
  for (int n = 1; n <= 10; ++n) keys.push_back(n);
  for (int n : {91, 92, 93, 94, 96}) keys.push_back(n);
  EXPECT_EQ(keys, Visited(FilesProfile(keys)));
  EXPECT_EQ(std::vector<int>{1}, Visited(FilesProfile({1, 150})));
  // F2..F101 absent are 100 misses: F102 is still reached, F103 is not.
  EXPECT_EQ((std::vector<int>{1, 102}), Visited(FilesProfile({1, 102})));
  EXPECT_EQ(std::vector<int>{1}, Visited(FilesProfile({1, 103})));
}

TEST(MemberScan, ValuesWithoutTwoFieldsAreSkippedAndTargetsTrimmed) {
  auto profile = FilesProfile({}, "F1 = setup.exe\nF2 =  sub\\a.txt ,src, COMPRESS=0\n"
                                           "F3 =\nF4 = ,src\nF01 = x, y\nsetup = x, y\n");
  std::vector<UnpackMember> members;
  ForEachMember(*profile, [&](const UnpackMember& m) { members.push_back(m); });
  ASSERT_EQ(2u, members.size());
  EXPECT_EQ("sub\\a.txt", members[0].target);
  EXPECT_EQ("F2", members[0].key);
  EXPECT_EQ("", members[1].target);  // empty target: the caller writes nothing
  EXPECT_EQ(4, members[1].number);
}

TEST(WorkingDirectory, ExistingNamesArePassedOverNeverReused) {
  std::map<std::string, CreateOutcome> disk = {{"T\\emc_100", CreateOutcome::kExists},
                                               {"T\\emc_101", CreateOutcome::kExists}};
  std::vector<std::string> tried;
  auto create = [&](const std::string& path) {
    tried.push_back(path);
    auto it = disk.find(path);
    return it == disk.end() ? CreateOutcome::kCreated : it->second;
  };
  EXPECT_EQ("T\\emc_102", CreateWorkingDirectory("T\\", 100, 10, create));
  EXPECT_EQ((std::vector<std::string>{"T\\emc_100", "T\\emc_101", "T\\emc_102"}), tried);
  EXPECT_EQ("", CreateWorkingDirectory("T", 100, 2, create));  // bounded
  disk["T\\emc_100"] = CreateOutcome::kFailed;                  // other errors end at once
  tried.clear();
  EXPECT_EQ("", CreateWorkingDirectory("T", 100, 10, create));
  EXPECT_EQ(1u, tried.size());
}

TEST(InstallLog, MemberLineSaysByteOnlyForOne) {
  EXPECT_EQ("Created file 't.2' of length 0 bytes\n", CreatedFileLine("t.2", 0));
  EXPECT_EQ("Created file 't.2' of length 1 byte\n", CreatedFileLine("t.2", 1));
  EXPECT_EQ("Created file 't.2' of length 2 bytes\n", CreatedFileLine("t.2", 2));
}

}  // namespace
