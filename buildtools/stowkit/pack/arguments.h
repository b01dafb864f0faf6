// The argument phase of pack mode: help scan, output path, switches and the steering-file
// path. Works on command-line cursors only, so it runs the same natively and on Windows.
#pragma once

#include <map>
#include <string>

#include "commandline.h"
#include "pack/translate.h"

namespace pack {

// The ANSI code page the native packer assumes for 8-bit text unless -codepage names another.
constexpr unsigned kDefaultCodePage = 1252;
// Most compression threads -jobs takes.
constexpr unsigned kMaxJobs = 256;

// What the command line sets for one pack run.
struct PackSettings {
  std::string outputPath;
  std::string steeringPath;
  bool haveSteeringPath = false;
  bool quiet = false;
  bool compressControl = true;
  bool compressMembers = true;
  KeywordTable keywords;
  std::map<std::string, std::string> versionValues;  // upper-case -verinfo key to value
  // Switches of the native packer only: -stub, -jobs and -codepage. stowkitwin leaves
  // acceptNative off, and they are invalid switches there.
  bool acceptNative = false;
  std::string stubPath;   // empty: the default stub
  unsigned jobs = 0;      // 0: one per processor
  unsigned codePage = kDefaultCodePage;
};

enum class ArgumentOutcome {
  kProceed,   // settings complete: go on with the steering file
  kUsage,     // a help request: show the usage text, exit status 0
  kError,     // errorText says why: report it, exit status 1
  kFatal,     // a -verinfo value failed translation: end the process at once
};

struct ArgumentResult {
  ArgumentOutcome outcome = ArgumentOutcome::kProceed;
  std::string errorText;
  TranslateStatus fatal = TranslateStatus::kOk;
};

// The eleven -verinfo keys, in the order they are looked up.
extern const char* const kVersionKeys[11];

// True when any argument after the program name asks for help ("-help", "-?", "?").
bool IsHelpRequest(BasicCommandLineCursor<char>& scan);

// Runs the whole phase. helpScan is a fresh cursor over the process command line; cursor is the
// entry's cursor standing on the -create argument.
ArgumentResult ReadPackArguments(BasicCommandLineCursor<char>& helpScan,
                                 BasicCommandLineCursor<char>& cursor, PackSettings& settings);

// The usage text with the program name in both places.
std::string UsageText(const std::string& programName);

}  // namespace pack
