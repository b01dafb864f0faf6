#include "pack/steering.h"

#include <algorithm>

#include "formatstring.h"
#include "pack/numbers.h"
#include "services/kitformat.h"
#include "services/memoryprofile.h"
#include "services/textutil.h"

namespace pack {

namespace {

constexpr size_t kDescriptionChars = 255;

// "F<n>" with n >= 1 and no leading zero: the keys a kit looks its members up by.
bool IsMemberKey(const std::string& key) {
  if (key.size() < 2 || (key[0] != 'F' && key[0] != 'f') || key[1] == '0') return false;
  return key.find_first_not_of("0123456789", 1) == std::string::npos;
}

// A kit reads commands and [FILES] values of the control file only up to the lengths of the
// kit format; a longer one would be run or unpacked cut short, so it is refused here.
void CheckWhatTheKitReads(const std::u16string& controlText, std::string& errorText) {
  std::string text = Utf8FromUtf16(controlText);
  MemoryProfile profile(nullptr);
  profile.SetTrimValues(true);
  profile.Feed(true, text.size(), text.data());
  for (const char* key : {"COMMANDLINE", "WINCMDLINE"}) {
    std::string value;
    if (profile.GetValue(kitformat::kInfoSection, key, value) &&
        Utf16Length(value) > kitformat::kCommandLimit) {
      errorText += FormatToString("\n-- %s is longer than the %u characters a kit reads", key,
                                  kitformat::kCommandLimit);
    }
  }
  const std::string filesPrefix = UpperAscii(kitformat::kFilesSection) + "\\";
  std::vector<std::string> seen;
  for (const std::string& entry : profile.Entries()) {
    if (UpperAscii(entry.substr(0, filesPrefix.size())) != filesPrefix) continue;
    size_t eq = entry.find('=', filesPrefix.size());
    std::string key = entry.substr(filesPrefix.size(), eq - filesPrefix.size());
    // The first entry of a key is the one a kit reads.
    std::string upper = UpperAscii(key);
    if (!IsMemberKey(key) || std::find(seen.begin(), seen.end(), upper) != seen.end()) continue;
    seen.push_back(upper);
    if (Utf16Length(entry.substr(eq + 1)) > kitformat::kMemberValueLimit) {
      errorText += FormatToString("\n-- [FILES] value of %s is longer than the %u characters a kit reads",
                                  key.c_str(), kitformat::kMemberValueLimit);
    }
  }
}

}  // namespace

std::string SteeringFilePath(const std::string& path) {
  if (path.find_first_of("\\:") == std::string::npos) return ".\\" + path;
  return path;
}

std::u16string DecodeSteeringText(const std::vector<uint8_t>& bytes, SteeringPlatform& platform) {
  if (IsUtf16Text(bytes.data(), bytes.size())) return Utf16TextAfterMark(bytes.data(), bytes.size());
  std::string text;
  for (uint8_t byte : bytes) {
    if (byte == 0) break;
    text.push_back(static_cast<char>(byte));
  }
  return platform.AnsiToUtf16(text);
}

void HandleFilesEntry(const std::string& key, const std::string& value,
                      const KeywordTable& keywords, SteeringPlatform& platform,
                      SteeringResult& result) {
  if (value.empty()) {
    result.errorText += FormatToString(
        "\n-- internal Error : cannot find key '%s' in your steering file!", key.c_str());
    return;
  }
  std::vector<std::string> fields = SplitText(",", value);
  if (fields.size() < 2 || TrimBlanks(fields[1]).empty()) {
    result.errorText += FormatToString("\n-- format error in steering file line \n '%s'", value.c_str());
    return;
  }
  std::string source;
  TranslateStatus status = TranslateText(TrimBlanks(fields[1]), keywords, source);
  if (status != TranslateStatus::kOk) {
    result.fatal = status;
    return;
  }
  SystemError error;
  if (!platform.PathExists(source, error)) {
    result.errorText += FormatToString(
        "\n-- file open error in installer input file '%s' \n 0x%08X :  %s", source.c_str(),
        static_cast<unsigned>(error.code), error.text.c_str());
    return;
  }
  KitMember& member = result.members[key];
  member.sourcePath = source;
  member.compress = true;
  for (size_t i = 2; i < fields.size(); ++i) {
    std::vector<std::string> option = SplitText("=", TrimBlanks(fields[i]));
    if (option.size() != 2) {
      result.errorText += FormatToString(
          "\n-- bad option format for file '%s' in installer input file '%s' ", key.c_str(),
          source.c_str());
      continue;
    }
    if (UpperAscii(TrimBlanks(option[0])) == "COMPRESS" && IsExactZero(option[1])) {
      member.compress = false;
    }
  }
}

SteeringResult ReadSteeringFile(const std::string& path, const KeywordTable& keywords,
                                const std::string& moduleBaseName, SteeringPlatform& platform) {
  SteeringResult result;
  result.caption = moduleBaseName;
  result.steeringPath = SteeringFilePath(path);
  const std::string& file = result.steeringPath;

  std::vector<uint8_t> bytes;
  SystemError error;
  if (!platform.ReadSteeringBytes(file, bytes, error)) {
    result.errorText += FormatToString("\n-- error reading steering file '%s' \n 0x%08X : %s",
                                       file.c_str(), static_cast<unsigned>(error.code),
                                       error.text.c_str());
  } else {
    std::u16string translated;
    if (IsUtf16Text(bytes.data(), bytes.size())) {
      // Translated as UTF-16: a name the ANSI code page lacks reaches the kit whole.
      result.fatal = TranslateUtf16Text(
          DecodeSteeringText(bytes, platform), keywords,
          [&](const std::string& text) { return platform.AnsiToUtf16(text); }, translated);
    } else {
      std::string ansi;
      result.fatal = TranslateText(platform.Utf16ToAnsi(DecodeSteeringText(bytes, platform)),
                                   keywords, ansi);
      translated = platform.AnsiToUtf16(ansi);
    }
    bytes.clear();
    bytes.shrink_to_fit();
    if (result.fatal != TranslateStatus::kOk) return result;
    result.controlText = u"\uFEFF" + translated;
    CheckWhatTheKitReads(translated, result.errorText);
  }

  const char* info = kitformat::kInfoSection;
  result.caption =
      platform.ProfileString(file, info, "DESCRIPTION", moduleBaseName, kDescriptionChars);
  if (ProfileNumber(platform.ProfileString(file, info, "COMPRESSTHIS", "", 0), 1) == 0) {
    result.compressControl = false;
  }
  if (ProfileNumber(platform.ProfileString(file, info, "COMPRESSFILES", "", 0), 1) == 0) {
    result.compressMembers = false;
  }
  result.iconPath = platform.ProfileString(file, info, "ICON", "", 0);

  const char* files = kitformat::kFilesSection;
  for (const std::string& key : platform.ProfileKeys(file, files)) {
    HandleFilesEntry(key, platform.ProfileString(file, files, key.c_str(), "", 0), keywords,
                     platform, result);
    if (result.fatal != TranslateStatus::kOk) return result;
  }
  return result;
}

}  // namespace pack
