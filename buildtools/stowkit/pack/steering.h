// The steering-file phase of pack mode: the control-file text, the settings of [INFO] and the
// member table of [FILES], with one message per bad line so that one run reports them all.
// The platform's profile reader and code-page conversions come in through SteeringPlatform.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "services/systemerror.h"
#include "pack/translate.h"

namespace pack {

class SteeringPlatform {
 public:
  virtual ~SteeringPlatform() = default;
  // The whole file; false with the platform error when it cannot be read.
  virtual bool ReadSteeringBytes(const std::string& path, std::vector<uint8_t>& bytes, SystemError& error) = 0;
  virtual std::u16string AnsiToUtf16(const std::string& text) = 0;
  virtual std::string Utf16ToAnsi(const std::u16string& text) = 0;
  // A value as the profile reader returns it (trimmed, quotes removed); at most maxChars
  // characters when maxChars is not 0, else the whole value.
  virtual std::string ProfileString(const std::string& path, const char* section, const char* key,
                                    const std::string& defaultValue, size_t maxChars) = 0;
  // Every key name of a section, in file order, however long the list.
  virtual std::vector<std::string> ProfileKeys(const std::string& path, const char* section) = 0;
  // Whether a file or directory exists there; the platform error when it does not.
  virtual bool PathExists(const std::string& path, SystemError& error) = 0;
};

struct KitMember {
  std::string sourcePath;  // translated
  bool compress = true;
};

struct SteeringResult {
  std::string steeringPath;        // as used (".\" in front of a plain file name)
  std::u16string controlText;      // U+FEFF then the translated text; empty when unreadable
  std::string caption;             // DESCRIPTION, or the module base name
  bool compressControl = true;
  bool compressMembers = true;
  std::string iconPath;
  std::map<std::string, KitMember> members;  // by key, byte-wise ascending
  std::string errorText;           // appended messages; not empty means the run fails
  TranslateStatus fatal = TranslateStatus::kOk;  // a translation failure ends the process
};

// ".\" in front of a path without '\' or ':' (a plain file name, which the profile reader would
// otherwise look for in the Windows directory).
std::string SteeringFilePath(const std::string& path);

// The steering file's text as UTF-16: UTF-16 LE when it starts with FF FE and its fourth byte
// is 0 (up to the first 16-bit zero), else 8-bit ANSI text up to the first zero byte.
std::u16string DecodeSteeringText(const std::vector<uint8_t>& bytes, SteeringPlatform& platform);

// Runs the phase. The caption is the module base name until DESCRIPTION has been read; when
// result.fatal is set the phase stopped there and result.caption is the caption of that moment.
SteeringResult ReadSteeringFile(const std::string& path, const KeywordTable& keywords,
                                const std::string& moduleBaseName, SteeringPlatform& platform);

// One [FILES] line: key and value as read. Appends its messages to result.errorText, enters
// the member, or sets result.fatal.
void HandleFilesEntry(const std::string& key, const std::string& value,
                      const KeywordTable& keywords, SteeringPlatform& platform,
                      SteeringResult& result);

}  // namespace pack
