#include "pack/steering.h"

#include "formatstring.h"
#include "pack/numbers.h"
#include "services/kitformat.h"
#include "services/textutil.h"

namespace pack {

namespace {
constexpr size_t kDescriptionChars = 255;
}

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
    std::string ansi = platform.Utf16ToAnsi(DecodeSteeringText(bytes, platform));
    bytes.clear();
    bytes.shrink_to_fit();
    std::string translated;
    result.fatal = TranslateText(ansi, keywords, translated);
    if (result.fatal != TranslateStatus::kOk) return result;
    result.controlText = u"\uFEFF" + platform.AnsiToUtf16(translated);
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
