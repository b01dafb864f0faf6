// The portable parts of run mode: the kit's arguments, the control file, target names, the
// working directory and the install log.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commandline.h"
#include "run/controlfile.h"
#include "run/installlog.h"
#include "run/kitarguments.h"
#include "run/targetnames.h"
#include "run/workdir.h"

using namespace run;

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
    BasicKitArguments<char> args = TakeKitArguments(line.cursor);
    EXPECT_EQ(c.hasLog, args.hasLog) << c.commandLine;
    EXPECT_EQ(SplitCommandLine(c.text), args.remaining) << c.commandLine;
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
  BasicKitArguments<char> args = TakeKitArguments(line.cursor);
  EXPECT_EQ(given, SplitCommandLine(args.text.c_str()));
  EXPECT_EQ(given, args.remaining);
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

TEST(Substitution, ArgumentsThatWouldLeaveTheirQuotesAreRefused) {
  EXPECT_TRUE(TakesKitArguments("setup.cmd <ARGS>"));
  EXPECT_TRUE(TakesKitArguments("setup.cmd [ARGS]"));
  EXPECT_FALSE(TakesKitArguments("setup.cmd <args>"));
  struct Case {
    std::vector<std::string> arguments;
    int unsafe;
  };
  const Case cases[] = {
      {{"French", "C:\\Lark Notes\\", "a & b", "100%", "x^y|z<w>"}, -1},
      {{"ok", "x\" & echo INJECTED> f & rem \""}, 1},
      {{"line\nbreak"}, 0},
      {{"cr\rhere", "\""}, 0},
      {{}, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.unsafe, FindUnsafeInterpreterArgument(c.arguments)) << c.arguments.size();
  }
  EXPECT_EQ("Failure: unsafe kit argument 'a\"b' (quote or line break)", UnsafeArgumentMessage("a\"b"));
}

// The code page of the tests: every byte is the character of the same number.
std::string Latin1(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

std::string Decode(const std::vector<unsigned char>& bytes) {
  std::vector<unsigned char> padded = bytes;
  padded.resize(bytes.size() + 6, 0);  // as ReadWholeFile leaves it
  return DecodeControlFile(padded.data(), bytes.size(), Latin1);
}

TEST(ControlFile, Utf16WithMarkElseEightBitAlwaysAsUtf8) {
  EXPECT_EQ("[I]\r\n", Decode({0xFF, 0xFE, '[', 0, 'I', 0, ']', 0, '\r', 0, '\n', 0}));
  // Characters outside any 8-bit code page are kept: names reach the file system whole.
  EXPECT_EQ("a\u263A", Decode({0xFF, 0xFE, 'a', 0, 0x3A, 0x26}));
  EXPECT_EQ("a\U0001F600", Decode({0xFF, 0xFE, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE}));  // two units
  EXPECT_EQ("\xC3\xA9", Decode({0xE9, 0}));                                // 8-bit text
  EXPECT_EQ("ab", Decode({0xFF, 0xFE, 'a', 0, 'b', 0, 0, 0, 'c', 0}));  // up to a zero unit
  EXPECT_EQ("", Decode({0xFF, 0xFE}));                               // mark only
  EXPECT_EQ("A", Decode({0xFF, 0xFE, 'A'}));                         // odd length
  // Fourth byte not 0: 8-bit text, mark bytes included.
  EXPECT_EQ("\xC3\xBF\xC3\xBE" "ab", Decode({0xFF, 0xFE, 'a', 'b'}));
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
      {"\xE6\x97\xA5\xE6\x9C\xAC\\\xE8\xAA\x9E.txt", TargetProblem::kNone},  // UTF-8 names
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(c.problem), static_cast<int>(CheckTargetName(c.target)))
        << c.target;
  }
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
  ForEachMember(*profile, [&](const Member& m) {
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
  std::vector<Member> members;
  ForEachMember(*profile, [&](const Member& m) { members.push_back(m); });
  ASSERT_EQ(2u, members.size());
  EXPECT_EQ("sub\\a.txt", members[0].target);
  EXPECT_EQ("F2", members[0].key);
  EXPECT_EQ("", members[1].target);  // empty target: the caller writes nothing
  EXPECT_EQ(4, members[1].number);
}

TEST(MemberScan, OverlongValuesAreMarkedAndCountAsMisses) {
  std::string fits = "t, " + std::string(515, 's');  // 518 characters
  std::string text = "[FILES]\nF1 = " + fits + "\nF2 = " + fits + "s\nF3 = , x\n";
  MemoryProfile profile(nullptr);
  profile.SetTrimValues(true);
  profile.Feed(true, text.size(), text.data());
  std::vector<Member> members;
  ForEachMember(profile, [&](const Member& m) { members.push_back(m); });
  ASSERT_EQ(3u, members.size());
  EXPECT_FALSE(members[0].tooLong);
  EXPECT_TRUE(members[1].tooLong);
  EXPECT_EQ("Failure: kit file entry F2 is longer than 518 characters",
            OverlongMemberMessage(members[1]));
  // F2 counts as a miss, so F4..F103 absent are one too many: F104 is never reached.
  text += "F104 = a, b\n";
  MemoryProfile later(nullptr);
  later.SetTrimValues(true);
  later.Feed(true, text.size(), text.data());
  members.clear();
  ForEachMember(later, [&](const Member& m) { members.push_back(m); });
  EXPECT_EQ(3, members.back().number);
}

TEST(KitSettings, CommandsAreNeverCutAndTitlesAreCutWhole) {
  auto settings = [](const std::string& info) {
    std::string text = "[INFO]\n" + info;
    MemoryProfile profile(nullptr);
    profile.SetTrimValues(true);
    profile.Feed(true, text.size(), text.data());
    return ReadKitSettings(profile, "kitname");
  };
  KitSettings plain = settings("COMMANDLINE = a\nSETUP_ERROR_FATAL = 0\n");
  EXPECT_EQ("kitname", plain.description);
  EXPECT_EQ("a", plain.commandLine);
  EXPECT_FALSE(plain.fatal);
  EXPECT_TRUE(plain.failure.empty());
  EXPECT_TRUE(settings("WINCMDLINE = " + std::string(1023, 'w') + "\n").failure.empty());
  EXPECT_EQ("Failure: WINCMDLINE of the kit is longer than 1023 characters and is not run",
            settings("WINCMDLINE = " + std::string(1024, 'w') + "\n").failure);
  EXPECT_EQ("Failure: COMMANDLINE of the kit is longer than 1023 characters and is not run",
            settings("COMMANDLINE = " + std::string(1500, 'c') + "\n").failure);
  // Limits count characters, not bytes: 1023 three-byte characters fit.
  std::string wide;
  for (int i = 0; i < 1023; ++i) wide += "\xE6\x97\xA5";
  EXPECT_TRUE(settings("COMMANDLINE = " + wide + "\n").failure.empty());
  // A title is cut at 255 characters, never inside a character made of two units.
  std::string title = std::string(254, 't') + "\U0001F600";
  EXPECT_EQ(std::string(254, 't'), settings("DESCRIPTION = " + title + "\n").description);
  EXPECT_EQ("", settings("DESCRIPTION =\n").description);
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

TEST(WorkingDirectory, ProtectedDescriptorForTheUserSystemAndAdministrators) {
  const ByteVector user = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
                           3, 0, 0, 0, 0xE9, 3, 0, 0};  // S-1-5-21-1-2-3-1001
  const ByteVector header = {1, 0, 0x04, 0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0};
  const ByteVector system = {0, 3, 20, 0, 0xFF, 0x01, 0x1F, 0,
                             1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
  const ByteVector admins = {0, 3, 24, 0, 0xFF, 0x01, 0x1F, 0,
                             1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
  ByteVector plain = header;
  for (uint8_t b : {2, 0, 88, 0, 3, 0, 0, 0}) plain.push_back(b);  // 8 + 20 + 24 + 36 bytes
  plain.insert(plain.end(), system.begin(), system.end());
  plain.insert(plain.end(), admins.begin(), admins.end());
  for (uint8_t b : {0, 3, 36, 0, 0xFF, 0x01, 0x1F, 0}) plain.push_back(b);
  plain.insert(plain.end(), user.begin(), user.end());
  EXPECT_EQ(plain, WorkingDirectoryDescriptor(false, user));

  ByteVector elevated = header;
  for (uint8_t b : {2, 0, 52, 0, 2, 0, 0, 0}) elevated.push_back(b);
  elevated.insert(elevated.end(), system.begin(), system.end());
  elevated.insert(elevated.end(), admins.begin(), admins.end());
  EXPECT_EQ(elevated, WorkingDirectoryDescriptor(true, user));
}

TEST(InstallLog, UnattendedBoxesBecomeOneLine) {
  EXPECT_EQ("-- Unattended: [installer-192 : ] Error in creating process 'x' GetLastErrorRC=2 (n)\n",
            UnattendedBoxLine("installer-192 : ", "Error in creating process 'x'\nGetLastErrorRC=2 (n)"));
  EXPECT_EQ("Fatal error: failed to locate temporary filename ''\n",
            FailureLine("\nFatal error: failed to locate temporary filename ''\n"));
}

TEST(InstallLog, MemberLineSaysByteOnlyForOne) {
  EXPECT_EQ("Created file 't.2' of length 0 bytes\n", CreatedFileLine("t.2", 0));
  EXPECT_EQ("Created file 't.2' of length 1 byte\n", CreatedFileLine("t.2", 1));
  EXPECT_EQ("Created file 't.2' of length 2 bytes\n", CreatedFileLine("t.2", 2));
}

}  // namespace
