#include "pack/arguments.h"

#include <cstring>

#include "formatstring.h"
#include "services/textutil.h"

namespace pack {

const char* const kVersionKeys[11] = {"INAME",    "VERSION",     "PNAME",      "PVERSION",
                                      "APPLICATION", "COMMENTS", "PRIVATE",    "SPECIAL",
                                      "TRADEMARKS", "COPYRIGHT", "COMPANY"};

namespace {

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

// The value of a switch that takes one: after ':' or '=', else the next argument. A switch in
// that place is reported, but its text is still taken as the value.
struct SwitchArgument {
  bool present = false;
  std::string value;
  std::string error;
};

SwitchArgument TakeValue(BasicCommandLineCursor<char>& cursor) {
  SwitchArgument result;
  if (const char* value = cursor.SwitchValue()) {
    result.present = true;
    result.value = value;
    return result;
  }
  if (const char* next = cursor.Next()) {
    result.present = true;
    result.value = next;
    if (cursor.IsSwitch()) result.error = FormatToString("Invalid switch: %s", next);
  }
  return result;
}

// Splits "key=value"; false unless there are exactly two parts and the trimmed key is not empty.
bool SplitDefinition(const std::string& text, std::string& key, std::string& value) {
  std::vector<std::string> parts = SplitText("=", text);
  if (parts.size() != 2) return false;
  key = TrimBlanks(parts[0]);
  value = parts[1];
  return !key.empty();
}

bool SameLetters(const std::string& a, const char* b) {
  return UpperAscii(a) == UpperAscii(b);
}

// A whole decimal number in 1..max; false otherwise.
bool ReadCount(const std::string& text, unsigned max, unsigned& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long n = 0;
  for (char c : text) n = n * 10 + static_cast<unsigned>(c - '0');
  if (n < 1 || n > max) return false;
  value = static_cast<unsigned>(n);
  return true;
}

// -stub, -jobs and -codepage of the native packer. True when the argument was one of them;
// error then holds its message (empty when it was accepted).
bool HandleNativeSwitch(BasicCommandLineCursor<char>& cursor, PackSettings& settings, std::string& error) {
  enum { kStub, kJobs, kCodePage } which;
  if (cursor.IsSwitchNamed("stub", 2)) {
    which = kStub;
  } else if (cursor.IsSwitchNamed("jobs", 1)) {
    which = kJobs;
  } else if (cursor.IsSwitchNamed("codepage", 2)) {
    which = kCodePage;
  } else {
    return false;
  }
  SwitchArgument taken = TakeValue(cursor);
  if (!taken.error.empty()) {
    error = taken.error;
  } else if (!taken.present || taken.value.empty()) {
    error = which == kStub ? "Missing stub filename" : which == kJobs ? "Missing jobs count" : "Missing code page";
  } else if (which == kStub) {
    settings.stubPath = taken.value;
  } else if (which == kJobs) {
    if (!ReadCount(taken.value, kMaxJobs, settings.jobs)) {
      error = FormatToString("Invalid jobs count '%s' (1 to %u)", taken.value.c_str(), kMaxJobs);
    }
  } else if (!ReadCount(taken.value, 65535, settings.codePage)) {
    error = FormatToString("Invalid code page '%s'", taken.value.c_str());
  }
  return true;
}

// One argument of the loop; returns the new error text (empty when it was accepted).
std::string HandleArgument(BasicCommandLineCursor<char>& cursor, PackSettings& settings,
                           ArgumentResult& result) {
  std::string argument = Text(cursor.Current());
  if (!cursor.IsSwitch()) {
    if (settings.haveSteeringPath) return FormatToString("Invalid/unexpected argument: %s", argument.c_str());
    settings.steeringPath = argument;
    settings.haveSteeringPath = true;
    return std::string();
  }
  if (cursor.IsSwitchNamed("quiet", 1)) {
    settings.quiet = true;
    return std::string();
  }
  if (cursor.IsSwitchNamed("nocompress", 3)) {
    settings.compressControl = false;
    settings.compressMembers = false;
    return std::string();
  }
  if (cursor.IsSwitchNamed("windows", 1)) return std::string();  // every kit is a Windows kit
  if (settings.acceptNative) {
    std::string error;
    if (HandleNativeSwitch(cursor, settings, error)) return error;
  }
  bool define = cursor.IsSwitchNamed("define", 1);
  if (!define && !cursor.IsSwitchNamed("verinfo", 1)) {
    return FormatToString("Invalid switch: %s", argument.c_str());
  }
  SwitchArgument taken = TakeValue(cursor);
  if (!taken.present) return define ? "Missing definition argument" : "Missing verfinfo argument";
  std::string key;
  std::string value;
  if (!SplitDefinition(taken.value, key, value)) {
    return define ? "Missing definition key" : "Missing verinfo key";
  }
  if (define) {
    DefineKeyword(settings.keywords, key, value);
    return taken.error;
  }
  for (const char* known : kVersionKeys) {
    if (!SameLetters(key, known)) continue;
    std::string translated;
    TranslateStatus status = TranslateText(value, KeywordTable(), translated);
    if (status != TranslateStatus::kOk) {
      result.outcome = ArgumentOutcome::kFatal;
      result.fatal = status;
      return taken.error;
    }
    settings.versionValues[known] = translated;
    return taken.error;
  }
  return FormatToString("invalid verinfo key '%s'.  Use the -help option to get help.", key.c_str());
}

}  // namespace

bool IsHelpRequest(BasicCommandLineCursor<char>& scan) {
  while (scan.Next()) {
    if (scan.IsSwitchNamed("help", 1) || scan.IsSwitchNamed("?", 1) || scan.CurrentIs("?", 0)) {
      return true;
    }
  }
  return false;
}

ArgumentResult ReadPackArguments(BasicCommandLineCursor<char>& helpScan,
                                 BasicCommandLineCursor<char>& cursor, PackSettings& settings) {
  ArgumentResult result;
  if (IsHelpRequest(helpScan)) {
    result.outcome = ArgumentOutcome::kUsage;
    return result;
  }
  SwitchArgument output = TakeValue(cursor);
  if (!output.error.empty()) {
    result.outcome = ArgumentOutcome::kError;
    result.errorText = output.error;
    return result;
  }
  if (!output.present) {
    result.outcome = ArgumentOutcome::kError;
    result.errorText = "Missing output filename";
    return result;
  }
  settings.outputPath = output.value;
  while (cursor.Next()) {
    result.errorText = HandleArgument(cursor, settings, result);
    if (result.outcome == ArgumentOutcome::kFatal) return result;
    if (!result.errorText.empty()) {
      result.outcome = ArgumentOutcome::kError;
      return result;
    }
  }
  if (!settings.haveSteeringPath) {
    result.outcome = ArgumentOutcome::kError;
    result.errorText = "Insufficient arguments";
  }
  return result;
}

std::string UsageText(const std::string& programName) {
  static const char* const kLines[] = {
      "usage:\n",
      "\t%s  -create:<output_exe_file_name>  <kitfiles_desription_file> [... switches ...] \n",
      " \n",
      " Builds an executable installable based on the packer image %s and containing \n",
      " componenents described by the specified kitfiles description file. \n",
      " \n",
      " where switches are:\n",
      " \n",
      " -windows                      the resultant target output kit exe file will be based on \n",
      "                               the Windows version of the packer (only relevant if the running \n",
      "                               packer console-based). \n",
      " \n",
      " -define:keyword=<value>       defines a keyword which, if it appears within angle-brackets \n",
      " -define  keyword=<value>      ... in the kitfiles description, will be replaced by the specified value \n",
      " \n",
      " -verinfo:keyword=<value>      defines a value to be written to the version information resource \n",
      " -verinfo keyword=<value>      ... of the resultant executable installable. \n",
      " \n",
      "     valid keywords (and example values): \n",
      "       -verinfo 'application=Tessaly Widget Setup' \n",
      "       -verinfo iname=widgetkit \n",
      "       -verinfo version=4.2.17 \n",
      "       -verinfo 'pname=Tessaly Widget' \n",
      "       -verinfo pversion=4.2 \n",
      "       -verinfo 'comments=Your comments here' \n",
      "       -verinfo 'private=Built by the release team' \n",
      "       -verinfo 'special=Made for Example Customer Ltd' \n",
      "       -verinfo trademarks=Tessaly(R) \n",
      "       -verinfo 'copyright=Copyright \xA9 2024 Tessaly' \n",
      "       -verinfo company=Tessaly \n",
      " \n",
      " -quiet                        no msg boxes will be displayed on errors \n",
      " -nocompress                   no file compression (will compress, by default) \n",
      " ",
  };
  std::string text;
  for (const char* line : kLines) text += line;
  std::string::size_type at = text.find("%s");
  text.replace(at, 2, programName);
  at = text.find("%s", at + programName.size());
  text.replace(at, 2, programName);
  return text;
}

}  // namespace pack
