// The pack-mode argument phase and its usage text.
#include <gtest/gtest.h>

#include "pack/arguments.h"

using namespace pack;

namespace {

struct Parsed {
  ArgumentResult result;
  PackSettings settings;
};

Parsed Parse(const std::string& commandLine) {
  Parsed run;
  BasicCommandLineCursor<char> helpScan(commandLine.c_str());
  BasicCommandLineCursor<char> cursor(commandLine.c_str());
  cursor.Next();  // the entry leaves the cursor on the -create argument
  run.result = ReadPackArguments(helpScan, cursor, run.settings);
  return run;
}

TEST(PackArguments, Outcomes) {
  const struct {
    const char* line;
    ArgumentOutcome outcome;
    const char* error;
  } cases[] = {
      {"p -create:out.exe kit.ini", ArgumentOutcome::kProceed, ""},
      {"p -create out.exe kit.ini", ArgumentOutcome::kProceed, ""},
      {"p -cre=out.exe kit.ini", ArgumentOutcome::kProceed, ""},
      {"p -create:out.exe kit.ini -help", ArgumentOutcome::kUsage, ""},
      {"p -create:out.exe kit.ini ?", ArgumentOutcome::kUsage, ""},
      {"p -create:out.exe /?", ArgumentOutcome::kUsage, ""},
      {"p -create -bogus -h", ArgumentOutcome::kUsage, ""},  // help wins over every error
      {"p -create:out.exe kit.ini ??", ArgumentOutcome::kError, "Invalid/unexpected argument: ??"},
      {"p -create -quiet kit.ini", ArgumentOutcome::kError, "Invalid switch: -quiet"},
      {"p -create", ArgumentOutcome::kError, "Missing output filename"},
      {"p -create:out.exe", ArgumentOutcome::kError, "Insufficient arguments"},
      {"p -create:out.exe a.ini b.ini", ArgumentOutcome::kError,
       "Invalid/unexpected argument: b.ini"},
      {"p -create:out.exe kit.ini -no", ArgumentOutcome::kError, "Invalid switch: -no"},
      {"p -create:out.exe kit.ini -nocompressx", ArgumentOutcome::kError,
       "Invalid switch: -nocompressx"},
      {"p -create:out.exe kit.ini -define kitdir", ArgumentOutcome::kError,
       "Missing definition key"},
      {"p -create:out.exe kit.ini -define a=b=c", ArgumentOutcome::kError,
       "Missing definition key"},
      {"p -create:out.exe kit.ini -define \" =x\"", ArgumentOutcome::kError,
       "Missing definition key"},
      {"p -create:out.exe kit.ini -define", ArgumentOutcome::kError, "Missing definition argument"},
      {"p -create:out.exe kit.ini -verinfo", ArgumentOutcome::kError, "Missing verfinfo argument"},
      {"p -create:out.exe kit.ini -verinfo version", ArgumentOutcome::kError,
       "Missing verinfo key"},
      {"p -create:out.exe kit.ini -verinfo colour=red", ArgumentOutcome::kError,
       "invalid verinfo key 'colour'.  Use the -help option to get help."},
      // A switch taken as a value is reported, unless handling the value reports something else.
      {"p -create:out.exe kit.ini -define -quiet", ArgumentOutcome::kError, "Missing definition key"},
      {"p -create:out.exe kit.ini -define -x=y", ArgumentOutcome::kError, "Invalid switch: -x=y"},
      {"p -create:out.exe kit.ini -verinfo -c=y", ArgumentOutcome::kError,
       "invalid verinfo key '-c'.  Use the -help option to get help."},
      // The first error ends the loop: later arguments are not examined.
      {"p -create:out.exe -bad x.ini -alsobad", ArgumentOutcome::kError, "Invalid switch: -bad"},
      {"p -create: kit.ini", ArgumentOutcome::kProceed, ""},  // empty output path fails at the copy
      {"p -create:out.exe kit.ini -verinfo copyright=\\0x", ArgumentOutcome::kFatal, ""},
  };
  for (const auto& c : cases) {
    Parsed run = Parse(c.line);
    EXPECT_EQ(run.result.outcome, c.outcome) << c.line;
    EXPECT_EQ(run.result.errorText, c.error) << c.line;
  }
}

TEST(PackArguments, SettingsFromSwitches) {
  Parsed run = Parse(
      "p /CREATE=dir\\out.exe -q -noc -w kit.ini -define KITDIR=a -define:kitdir=b "
      "-d \"SP = x y \" -verinfo Version=1.2.3 -v:VERSION=2 -verinfo=copyright=\\0251 "
      "-verinfo \"pname=<KITDIR>\"");
  ASSERT_EQ(run.result.outcome, ArgumentOutcome::kProceed) << run.result.errorText;
  const PackSettings& s = run.settings;
  EXPECT_EQ(s.outputPath, "dir\\out.exe");
  EXPECT_EQ(s.steeringPath, "kit.ini");
  EXPECT_TRUE(s.quiet);
  EXPECT_FALSE(s.compressControl);
  EXPECT_FALSE(s.compressMembers);
  EXPECT_EQ(s.keywords.at("<KITDIR>"), "b");
  EXPECT_EQ(s.keywords.at("[SP]"), " x y ");  // keyword trimmed, value as written
  EXPECT_EQ(s.versionValues.at("VERSION"), "2");
  EXPECT_EQ(s.versionValues.at("COPYRIGHT"), "\xA9");
  EXPECT_EQ(s.versionValues.at("PNAME"), "<KITDIR>");  // only octal constants are decoded
  EXPECT_EQ(s.versionValues.size(), 3u);
}

TEST(PackArguments, DefaultsAndEmptyOutput) {
  Parsed plain = Parse("p -create out.exe kit.ini");
  EXPECT_FALSE(plain.settings.quiet);
  EXPECT_TRUE(plain.settings.compressControl);
  EXPECT_TRUE(plain.settings.compressMembers);
  EXPECT_EQ(plain.settings.outputPath, "out.exe");
  Parsed empty = Parse("p -create: kit.ini");
  EXPECT_EQ(empty.settings.outputPath, "");
  Parsed verinfoEmpty = Parse("p -create:o kit.ini -verinfo comments=");
  EXPECT_EQ(verinfoEmpty.settings.versionValues.at("COMMENTS"), "");
}

TEST(PackArguments, QuietSeenBeforeAFatalValue) {
  Parsed run = Parse("p -create:o -quiet kit.ini -verinfo version=\\0 -bad");
  EXPECT_EQ(run.result.outcome, ArgumentOutcome::kFatal);
  EXPECT_EQ(run.result.fatal, TranslateStatus::kBadOctal);
  EXPECT_TRUE(run.settings.quiet);
}

TEST(UsageText, LinesAndProgramName) {
  std::string text = UsageText("stowkitwin.exe");
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  ASSERT_EQ(lines.size(), 34u);
  EXPECT_EQ(lines[0], "usage:");
  EXPECT_EQ(lines[1],
            "\tstowkitwin.exe  -create:<output_exe_file_name>  <kitfiles_desription_file> "
            "[... switches ...] ");
  EXPECT_EQ(lines[3],
            " Builds an executable installable based on the packer image stowkitwin.exe and "
            "containing ");
  EXPECT_EQ(lines[31], " -quiet                        no msg boxes will be displayed on errors ");
  EXPECT_EQ(lines[33], " ");
  const char* order[] = {"application", "iname",   "version",    "pname",     "pversion", "comments",
                         "private",     "special", "trademarks", "copyright", "company"};
  for (int i = 0; i < 11; ++i) {
    const std::string& line = lines[19 + i];
    ASSERT_EQ(line.rfind("       -verinfo ", 0), 0u) << line;
    std::string rest = line.substr(16);
    bool quoted = rest[0] == '\'';
    EXPECT_EQ(rest.substr(quoted ? 1 : 0, std::string(order[i]).size() + 1),
              std::string(order[i]) + "=")
        << line;
    std::string value = rest.substr(0, rest.size() - 1);
    EXPECT_EQ(rest.back(), ' ') << line;
    EXPECT_EQ(quoted, value.find(' ') != std::string::npos) << line;
  }
  EXPECT_NE(lines[28].find('\xA9'), std::string::npos);
  EXPECT_EQ(text.find("help"), std::string::npos);
}

}  // namespace

// -stub, -jobs and -codepage belong to the native packer only; stowkitwin keeps refusing them.
TEST(PackArguments, NativeSwitches) {
  const struct {
    const char* tail;
    const char* error;        // with the native switches accepted
    const char* stub;
    unsigned jobs;
    unsigned codePage;
  } cases[] = {
      {"-stub:x.exe -jobs:3 -codepage=1251", "", "x.exe", 3, 1251},
      {"-st x.exe -j 256 -co 65001", "", "x.exe", 256, 65001},
      {"-jobs:0", "Invalid jobs count '0' (1 to 256)", "", 0, 1252},
      {"-jobs:2x", "Invalid jobs count '2x' (1 to 256)", "", 0, 1252},
      {"-codepage:utf8", "Invalid code page 'utf8'", "", 0, 1252},
      {"-stub", "Missing stub filename", "", 0, 1252},
      {"-jobs -quiet", "Invalid switch: -quiet", "", 0, 1252},
      {"-s:x.exe", "Invalid switch: -s:x.exe", "", 0, 1252},
  };
  for (const auto& c : cases) {
    std::string line = std::string("p -create:out.exe kit.ini ") + c.tail;
    Parsed native;
    native.settings.acceptNative = true;
    BasicCommandLineCursor<char> helpScan(line.c_str());
    BasicCommandLineCursor<char> cursor(line.c_str());
    cursor.Next();
    native.result = ReadPackArguments(helpScan, cursor, native.settings);
    EXPECT_EQ(native.result.errorText, c.error) << c.tail;
    EXPECT_EQ(native.settings.stubPath, c.stub) << c.tail;
    EXPECT_EQ(native.settings.jobs, c.jobs) << c.tail;
    EXPECT_EQ(native.settings.codePage, c.codePage) << c.tail;
    Parsed packMode = Parse(line);
    EXPECT_EQ(packMode.result.errorText.rfind("Invalid switch: -", 0), 0u) << c.tail;
  }
}
