// The kit's control file as run mode reads it: its text, the settings of [INFO] and the
// members of [FILES], with the sizes the kit format allows.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "services/memoryprofile.h"

namespace run {

// The control file's text as UTF-8: UTF-16 little-endian when it starts FF FE and its fourth
// byte is 0 (up to the first zero unit), else 8-bit text up to the first zero byte, converted
// by fromAnsi. Bytes beyond size read as zero, as they do in a buffer from ReadWholeFile.
using AnsiToUtf8 = std::function<std::string(const std::string&)>;
std::string DecodeControlFile(const unsigned char* data, size_t size, const AnsiToUtf8& fromAnsi);

struct KitSettings {
  std::string description;  // the message title; at most 255 characters
  std::string commandLine;
  std::string winCmdLine;
  bool fatal = true;        // SETUP_ERROR_FATAL is not 0
  std::string failure;      // not empty: a command is longer than a kit may hold
};

// The [INFO] settings (values trimmed). A DESCRIPTION longer than 255 characters is cut there:
// it is only a title. A command longer than 1023 characters was never meant to run cut short,
// so it is a failure instead.
KitSettings ReadKitSettings(const MemoryProfile& profile, const std::string& moduleBaseName);

struct Member {
  int number = 0;
  std::string key;     // "F<number>", the member's resource name
  std::string target;  // field 1 of the [FILES] value, trimmed
  bool tooLong = false;  // the value is longer than 518 characters: the member is not unpacked
};

// The [FILES] entries F1, F2, ... in number order until more than 100 numbers had no entry (an
// over-long value counts as one); values with fewer than two fields are passed over.
class MemberScan {
 public:
  explicit MemberScan(const MemoryProfile& profile) : profile_(profile) {}
  // The next member; false when the scan has ended.
  bool Next(Member& member);

 private:
  const MemoryProfile& profile_;
  int number_ = 0;
  int misses_ = 0;
};

template <class Visit>
void ForEachMember(const MemoryProfile& profile, Visit visit) {
  MemberScan scan(profile);
  for (Member member; scan.Next(member);) visit(member);
}

// "Failure: kit file entry <key> is longer than 518 characters"
std::string OverlongMemberMessage(const Member& member);

}  // namespace run
