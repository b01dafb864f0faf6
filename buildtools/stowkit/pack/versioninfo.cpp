#include "pack/versioninfo.h"

#include "formatstring.h"
#include "pack/numbers.h"

namespace pack {

namespace {

constexpr uint32_t kLanguageCodePage = 0x080904B0;
constexpr size_t kMaxBlockBytes = 65535;

void PutUtf16(ByteVector& out, const std::u16string& text) {
  for (char16_t unit : text) Put16(out, static_cast<uint16_t>(unit));
  Put16(out, 0);
}

// Scans "%d.%d.%d" (or fewer parts): each number after blanks with an optional sign, each dot
// directly after its number; the scan stops at the first mismatch and unread numbers stay 0.
// False when a number read lies outside 0..65535.
bool ScanVersion(const std::string& text, int parts, uint16_t numbers[3]) {
  size_t pos = 0;
  for (int i = 0; i < parts; ++i) {
    numbers[i] = 0;
  }
  for (int i = 0; i < parts; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '.') break;
      ++pos;
    }
    int64_t value = 0;
    if (!ScanDecimal(text, pos, value)) break;
    if (value < 0 || value > 65535) return false;
    numbers[i] = static_cast<uint16_t>(value);
  }
  return true;
}

const std::string* Find(const std::map<std::string, std::string>& values, const char* key) {
  auto it = values.find(key);
  return it == values.end() ? nullptr : &it->second;
}

}  // namespace

void VersionBlock::Begin(uint16_t valueLength, uint16_t type) {
  Put16(bytes_, 0);
  Put16(bytes_, valueLength);
  Put16(bytes_, type);
}

void VersionBlock::AppendKey(const std::string& key) { PutUtf16(bytes_, toUtf16_(key)); }

void VersionBlock::AlignTo4() {
  while (bytes_.size() % 4 != 0) bytes_.push_back(0);
}

void VersionBlock::AppendBytes(const ByteVector& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void VersionBlock::AppendBlock(const VersionBlock& other) { AppendBytes(other.bytes_); }

bool VersionBlock::Close() {
  if (bytes_.size() > kMaxBlockBytes) return false;
  Store16(bytes_, 0, static_cast<uint16_t>(bytes_.size()));
  return true;
}

std::string PathFileName(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    char c = path[i];
    if ((c == '\\' || c == '/' || c == ':') && i + 1 < path.size() && path[i + 1] != '\\' &&
        path[i + 1] != '/') {
      start = i + 1;
    }
  }
  return path.substr(start);
}

std::u16string Latin1ToUtf16(const std::string& text) {
  std::u16string out;
  for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

bool BuildVersionResourceBytes(const VersionInputs& inputs, const AnsiToUtf16Function& toUtf16,
                               ByteVector& out, std::string& reason) {
  const auto& values = inputs.values;
  const std::string* version = Find(values, "VERSION");
  const std::string* productVersion = Find(values, "PVERSION");
  uint16_t file[3];
  uint16_t product[3];
  if (!ScanVersion(version ? *version : "0.0.0", 3, file)) {
    reason = FormatToString("VERSION '%s': version numbers must lie in 0..65535", version->c_str());
    return false;
  }
  if (!ScanVersion(productVersion ? *productVersion : "0.0", 2, product)) {
    reason = FormatToString("PVERSION '%s': version numbers must lie in 0..65535",
                            productVersion->c_str());
    return false;
  }

  bool fits = true;
  auto closed = [&fits](VersionBlock& block) { fits = block.Close() && fits; };

  VersionBlock table(toUtf16);
  table.Begin(0, 1);
  table.AppendKey("080904b0");
  table.AlignTo4();
  auto addString = [&](const char* key, const std::string& value) {
    std::u16string wide = toUtf16(value);
    VersionBlock block(toUtf16);
    block.Begin(static_cast<uint16_t>(wide.size() + 1 > 0xFFFF ? 0xFFFF : wide.size() + 1), 1);
    block.AppendKey(key);
    block.AlignTo4();
    ByteVector text;
    PutUtf16(text, wide);
    block.AppendBytes(text);
    closed(block);
    block.AlignTo4();
    table.AppendBlock(block);
  };
  auto addOptional = [&](const char* key, const char* source) {
    if (const std::string* value = Find(values, source)) addString(key, *value);
  };
  const std::string* company = Find(values, "COMPANY");
  const std::string* application = Find(values, "APPLICATION");
  const std::string* copyright = Find(values, "COPYRIGHT");
  addString("CompanyName", company ? *company : "Tessaly");
  addString("FileDescription", application ? *application : "Unknown Application");
  addOptional("Comments", "COMMENTS");
  addOptional("ProductName", "PNAME");
  addOptional("PrivateBuild", "PRIVATE");
  addOptional("SpecialBuild", "SPECIAL");
  addOptional("InternalName", "INAME");
  addOptional("LegalTrademarks", "TRADEMARKS");
  addString("OriginalFilename", PathFileName(inputs.outputPath));
  addString("FileVersion", FormatToString("%d.%d.%d", file[0], file[1], file[2]));
  addString("ProductVersion", FormatToString("%d.%d", product[0], product[1]));
  addString("LegalCopyright",
            copyright ? *copyright : FormatToString("Copyright Tessaly \xA9 1999-%d", inputs.year));
  closed(table);

  VersionBlock stringInfo(toUtf16);
  stringInfo.Begin(0, 1);
  stringInfo.AppendKey("StringFileInfo");
  stringInfo.AlignTo4();
  stringInfo.AppendBlock(table);
  closed(stringInfo);

  VersionBlock translation(toUtf16);
  translation.Begin(4, 0);
  translation.AppendKey("Translation");
  translation.AlignTo4();
  ByteVector words;
  Put16(words, static_cast<uint16_t>(kLanguageCodePage >> 16));
  Put16(words, static_cast<uint16_t>(kLanguageCodePage & 0xFFFF));
  translation.AppendBytes(words);
  closed(translation);

  VersionBlock varInfo(toUtf16);
  varInfo.Begin(0, 1);
  varInfo.AppendKey("VarFileInfo");
  varInfo.AlignTo4();
  varInfo.AppendBlock(translation);
  closed(varInfo);

  ByteVector fixed;
  Put32(fixed, 0xFEEF04BD);  // signature
  Put32(fixed, 0x00010000);  // structure version
  Put32(fixed, (static_cast<uint32_t>(file[0]) << 16) | file[1]);
  Put32(fixed, file[2]);  // the third number whole: 9.24.109 reads as 9.24.0.109
  Put32(fixed, (static_cast<uint32_t>(product[0]) << 16) | product[1]);
  Put32(fixed, 0);
  Put32(fixed, 0x0000003F);  // flags mask
  Put32(fixed, 0x00000002);  // pre-release
  Put32(fixed, 0x00040004);  // Windows NT, 32-bit Windows
  Put32(fixed, 0x00000001);  // application
  Put32(fixed, 0);
  Put32(fixed, static_cast<uint32_t>(inputs.fileTime >> 32));
  Put32(fixed, static_cast<uint32_t>(inputs.fileTime & 0xFFFFFFFFu));

  VersionBlock root(toUtf16);
  root.Begin(static_cast<uint16_t>(fixed.size()), 0);
  root.AppendKey("VS_VERSION_INFO");
  root.AlignTo4();
  root.AppendBytes(fixed);
  root.AlignTo4();
  root.AppendBlock(stringInfo);
  root.AlignTo4();
  root.AppendBlock(varInfo);
  closed(root);

  if (!fits) {
    reason = FormatToString(
        "the version information is too long (%u bytes or more; a block holds at most 65535 bytes)",
        static_cast<unsigned>(root.Bytes().size()));
    return false;
  }
  out = root.Bytes();
  return true;
}

}  // namespace pack
