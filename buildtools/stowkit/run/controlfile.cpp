#include "run/controlfile.h"

#include "formatstring.h"
#include "services/kitformat.h"
#include "services/textutil.h"

namespace run {

namespace {

bool Value(const MemoryProfile& profile, const char* section, const char* key, std::string& out) {
  return profile.GetValue(section, key, out);
}

// The first units UTF-16 units of a UTF-8 text, never half a character.
std::string CutToUnits(const std::string& text, size_t units) {
  std::u16string wide = Utf16FromUtf8(text);
  if (wide.size() <= units) return text;
  wide.resize(units);
  if (!wide.empty() && wide.back() >= 0xD800 && wide.back() < 0xDC00) wide.pop_back();
  return Utf8FromUtf16(wide);
}

}  // namespace

std::string DecodeControlFile(const unsigned char* data, size_t size, const AnsiToUtf8& fromAnsi) {
  if (IsUtf16Text(data, size)) return Utf8FromUtf16(Utf16TextAfterMark(data, size));
  size_t length = 0;
  while (length < size && data[length] != 0) ++length;
  return fromAnsi(std::string(reinterpret_cast<const char*>(data), length));
}

KitSettings ReadKitSettings(const MemoryProfile& profile, const std::string& moduleBaseName) {
  KitSettings settings;
  const char* info = kitformat::kInfoSection;
  if (!Value(profile, info, "DESCRIPTION", settings.description)) {
    settings.description = moduleBaseName;
  }
  settings.description = CutToUnits(settings.description, kitformat::kDescriptionLimit);
  for (const char* key : {"COMMANDLINE", "WINCMDLINE"}) {
    std::string command;
    Value(profile, info, key, command);
    if (Utf16Length(command) > kitformat::kCommandLimit && settings.failure.empty()) {
      settings.failure = FormatToString(
          "Failure: %s of the kit is longer than %u characters and is not run", key,
          static_cast<unsigned>(kitformat::kCommandLimit));
    }
    (key[0] == 'C' ? settings.commandLine : settings.winCmdLine) = command;
  }
  settings.fatal =
      profile.GetInt(info, "SETUP_ERROR_FATAL", kitformat::kDefaultSetupErrorFatal) != 0;
  return settings;
}

bool MemberScan::Next(Member& member) {
  for (;;) {
    member = Member();
    member.number = ++number_;
    member.key = FormatToString("F%d", member.number);
    std::string value;
    Value(profile_, kitformat::kFilesSection, member.key.c_str(), value);
    member.tooLong = Utf16Length(value) > kitformat::kMemberValueLimit;
    if ((value.empty() || member.tooLong) && ++misses_ > kitformat::kMemberMissLimit) return false;
    std::vector<std::string> fields = SplitText(",", value);
    if (fields.size() < 2) continue;
    member.target = TrimBlanks(fields[0]);
    return true;
  }
}

std::string OverlongMemberMessage(const Member& member) {
  return FormatToString("Failure: kit file entry %s is longer than %u characters",
                        member.key.c_str(), static_cast<unsigned>(kitformat::kMemberValueLimit));
}

}  // namespace run
