// The native packer: pack mode's argument and steering-file phases, then the kit written by
// our own code from the stub's image.
#include <cstdio>
#include <map>

#include "commandline.h"
#include "entry/dispatch.h"
#include "formatstring.h"
#include "native/nativeservices.h"
#include "pack/arguments.h"
#include "pack/gzipmember.h"
#include "pack/icon.h"
#include "pack/kitinputs.h"
#include "pack/kitlimit.h"
#include "pack/kitwriter.h"
#include "pack/packtime.h"
#include "pack/profilereader.h"
#include "pack/steering.h"
#include "pack/versioninfo.h"
#include "services/kitformat.h"

namespace nativepack {

namespace {

using pack::ResourceKey;

constexpr const char* kDefaultStub = "/../share/stowkit/i686/stowkitwin.exe";
constexpr uint16_t kIconType = 3;
constexpr uint16_t kGroupIconType = 14;
constexpr uint16_t kVersionType = 16;
constexpr uint32_t kInvalidData = 0x0D;  // the platform's code for data it cannot use
constexpr size_t kMaxIconFile = 64u << 20;

std::u16string Ascii16(const char* text) {
  std::u16string out;
  for (; *text; ++text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
  return out;
}

// The steering file through the portable profile reader and the chosen code page.
class NativeSteering : public pack::SteeringPlatform {
 public:
  NativeSteering(NativeServices& os, CodePage& codePage) : os_(os), codePage_(codePage) {}
  bool ReadSteeringBytes(const std::string& path, std::vector<uint8_t>& bytes, SystemError& error) override {
    if (!os_.ReadWholeFile(path, bytes, error)) return false;
    path_ = path;
    reader_ = std::make_unique<pack::ProfileReader>(
        bytes.data(), bytes.size(), [this](const std::string& text) { return codePage_.ToUtf16(text); });
    return true;
  }
  std::u16string AnsiToUtf16(const std::string& text) override { return codePage_.ToUtf16(text); }
  std::string Utf16ToAnsi(const std::u16string& text) override { return codePage_.FromUtf16(text); }
  std::string ProfileString(const std::string& path, const char* section, const char* key,
                            const std::string& defaultValue, size_t maxChars) override {
    std::string value = defaultValue;
    std::u16string found;
    if (reader_ && path == path_ && reader_->Find(AnsiToUtf16(section), AnsiToUtf16(key), found)) {
      value = Utf16ToAnsi(found);
    }
    if (maxChars && value.size() > maxChars) value.resize(maxChars);
    return value;
  }
  std::vector<std::string> ProfileKeys(const std::string& path, const char* section) override {
    std::vector<std::string> keys;
    if (!reader_ || path != path_) return keys;
    for (const std::u16string& key : reader_->Keys(AnsiToUtf16(section))) keys.push_back(Utf16ToAnsi(key));
    return keys;
  }
  bool PathExists(const std::string& path, SystemError& error) override { return os_.Exists(path, error); }

 private:
  NativeServices& os_;
  CodePage& codePage_;
  std::string path_;
  std::unique_ptr<pack::ProfileReader> reader_;
};

// The stub as the PE reader's byte source.
class StubSource : public pack::ByteSource {
 public:
  explicit StubSource(pack::InputFile& file) : file_(file) {}
  uint64_t Size() const override { return file_.Size(); }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    SystemError ignored;
    if (offset > file_.Size() || size > file_.Size() - offset) return false;
    return file_.ReadAt(offset, static_cast<uint8_t*>(buffer), size, ignored);
  }

 private:
  pack::InputFile& file_;
};

// The process command line with the host's switch characters.
class PackCursor : public BasicCommandLineCursor<char> {
 public:
  explicit PackCursor(bool slashStartsSwitch) : slash_(slashStartsSwitch) {}
  bool IsSwitch() override {
    const char* arg = Current();
    return arg && (arg[0] == '-' || (slash_ && arg[0] == '/'));
  }

 private:
  bool slash_;
};

// Reports the text as pack mode does on the standard error stream; returns the status.
struct Run {
  NativeServices& os;
  int Fail(const std::string& text, int exitStatus) {
    os.WriteError(text + "\n");
    return exitStatus;
  }
};

// The stub's own DEFAULT_ICON as an .ico file; false when it has none (then the kit has no
// icon, as in pack mode); reason set when its resources are damaged.
bool StubDefaultIcon(pack::ByteSource& stub, const pack::PeImage& image, ByteVector& ico, std::string& reason) {
  pack::ResourceData where;
  pack::LookupResult found = pack::LookupResource(stub, image, ResourceKey::Id(kGroupIconType),
                                                ResourceKey::Name(Ascii16(kitformat::kDefaultIconName)), where, reason);
  if (found != pack::LookupResult::kFound) return false;
  ByteVector group;
  std::vector<pack::GroupEntry> entries;
  if (!pack::ReadResource(stub, where, 1u << 20, group, reason)) return false;
  if (!pack::ParseGroupDirectory(group.data(), group.size(), entries)) {
    reason = "the stub's default icon group is malformed";
    return false;
  }
  std::vector<ByteVector> images;
  for (const pack::GroupEntry& entry : entries) {
    if (pack::LookupResource(stub, image, ResourceKey::Id(kIconType), ResourceKey::Id(entry.id), where, reason) !=
        pack::LookupResult::kFound) {
      if (reason.empty()) reason = FormatToString("the stub's default icon lacks image %u", entry.id);
      return false;
    }
    images.emplace_back();
    if (!pack::ReadResource(stub, where, kMaxIconFile, images.back(), reason)) return false;
  }
  ico = pack::BuildIconFile(entries, images);
  return true;
}

// Refuses an output path that names one of the kit's inputs, however it is spelled.
bool OutputIsNoInput(NativeServices& os, const std::string& outputPath, const pack::SteeringResult& steering,
                     const std::string& stubPath, std::string& errorText) {
  FileIdentity output;
  if (!os.Identity(outputPath, output)) return true;
  errorText = pack::CheckOutputIsNoInput(outputPath, pack::KitInputs(steering, stubPath),
                                         [&](const std::string&, const std::string& input) {
                                           FileIdentity id;
                                           return os.Identity(input, id) && id == output;
                                         });
  return errorText.empty();
}

// The version block, with the time of SOURCE_DATE_EPOCH when that is set.
bool AddVersion(NativeServices& os, const pack::PackSettings& settings, CodePage& codePage,
                pack::KitRequest& request, std::string& errorText) {
  pack::VersionInputs version;
  version.values = settings.versionValues;
  version.outputPath = settings.outputPath;
  int64_t epoch = 0;
  std::string reason;
  switch (pack::ReadSourceDateEpoch(os.Environment("SOURCE_DATE_EPOCH"), epoch, reason)) {
    case pack::EpochSetting::kInvalid:
      errorText = "\n-- version update error \n " + reason;
      return false;
    case pack::EpochSetting::kSet: {
      pack::PackTime time = pack::PackTimeFromEpoch(epoch);
      version.year = time.year;
      version.fileTime = time.fileTime;
      break;
    }
    case pack::EpochSetting::kUnset: {
      int64_t now = os.UnixTime();
      version.year = os.LocalYear(now);
      version.fileTime = pack::FileTimeFromUnix(now);
      break;
    }
  }
  pack::KitResource resource{ResourceKey::Id(kVersionType), ResourceKey::Id(kitformat::kVersionResourceName),
                             kitformat::kLanguage, {}};
  auto toUtf16 = [&codePage](const std::string& text) { return codePage.ToUtf16(text); };
  if (!pack::BuildVersionResourceBytes(version, toUtf16, resource.data, reason)) {
    errorText = "\n-- version update error \n " + reason;
    return false;
  }
  request.resources.push_back(std::move(resource));
  return true;
}

// The icon of ICON, else the stub's own default icon; none when the stub has none.
bool AddIcon(NativeServices& os, const std::string& iconPath, pack::ByteSource& stub, const std::string& stubPath,
             pack::KitRequest& request, std::string& errorText) {
  ByteVector ico;
  std::string reason;
  std::string iconName = iconPath;
  if (iconName.empty()) {
    if (!StubDefaultIcon(stub, request.stubImage, ico, reason)) {
      if (reason.empty()) return true;
      errorText = FormatToString("\n-- stub '%s' cannot be used: %s", stubPath.c_str(), reason.c_str());
      return false;
    }
    iconName = stubPath;
  } else {
    std::vector<uint8_t> bytes;
    SystemError failure;
    if (!os.ReadWholeFile(iconName, bytes, failure)) {
      errorText = FormatToString("\n-- resource update error in icon file '%s' \n %s", iconName.c_str(),
                                 CodeAndText(failure).c_str());
      return false;
    }
    ico.assign(bytes.begin(), bytes.end());
  }
  pack::IconFile icon;
  if (!pack::ParseIconFile(ico.data(), ico.size(), icon, reason)) {
    errorText = FormatToString("\n-- resource update error in icon file '%s' \n %s", iconName.c_str(),
                               CodeAndText(SystemError{kInvalidData, reason}).c_str());
    return false;
  }
  uint16_t id = 0;
  for (const pack::IconImage& image : icon.images) {
    request.resources.push_back(pack::KitResource{
        ResourceKey::Id(kIconType), ResourceKey::Id(++id), kitformat::kLanguage,
        ByteVector(ico.begin() + image.offset, ico.begin() + image.offset + image.size)});
  }
  request.resources.push_back(pack::KitResource{ResourceKey::Id(kGroupIconType),
                                                ResourceKey::Id(kitformat::kGroupIconName),
                                                kitformat::kGroupIconLanguage, pack::BuildGroupDirectory(icon)});
  return true;
}

// KIT.INFO: the control text in UTF-16, compressed unless switched off.
bool AddControlFile(const std::u16string& text, bool compress, pack::KitRequest& request, std::string& errorText) {
  ByteVector control;
  for (char16_t unit : text) Put16(control, static_cast<uint16_t>(unit));
  if (compress) {
    ByteVector packed;
    std::string reason;
    if (!pack::GzipBytes(control.data(), control.size(), packed, reason)) {
      errorText = "\n-- compression of the control file failed: " + reason;
      return false;
    }
    control.swap(packed);
  }
  request.memberType = ResourceKey::Name(pack::UpperResourceName(Ascii16(kitformat::kResourceType)));
  request.memberLanguage = kitformat::kLanguage;
  request.resources.push_back(pack::KitResource{
      request.memberType, ResourceKey::Name(pack::UpperResourceName(Ascii16(kitformat::kControlFileName))),
      kitformat::kLanguage, std::move(control)});
  return true;
}

// Members in key order; keys the platform would record under one upper-case name keep the
// data of the last one, as a later resource update replaces an earlier one.
void AddMembers(const pack::SteeringResult& steering, CodePage& codePage, bool compress, pack::KitRequest& request) {
  std::map<std::u16string, size_t> byName;
  for (const auto& [key, member] : steering.members) {
    pack::KitMemberEntry entry;
    entry.name = ResourceKey::Name(pack::UpperResourceName(codePage.ToUtf16(key)));
    entry.source.path = member.sourcePath;
    entry.source.compress = compress && member.compress;
    auto known = byName.find(entry.name.text);
    if (known != byName.end()) {
      request.members[known->second] = entry;
    } else {
      byName[entry.name.text] = request.members.size();
      request.members.push_back(entry);
    }
  }
}

class Progress {
 public:
  Progress(NativeServices& os, size_t members) : os_(os), members_(members), start_(os.Now()) {}
  void Update(size_t done, uint64_t bytes, bool last = false) {
    if (last) bytes = bytes_;
    bytes_ = bytes;
    double now = os_.Now();
    if (!last && now - shown_ < 0.25) return;
    shown_ = now;
    double seconds = now - start_;
    double mb = bytes / 1048576.0;
    os_.WriteError(FormatToString("\rstowkit: %u of %u members, %.1f MB written, %.1f MB/s   ",
                                  static_cast<unsigned>(done), static_cast<unsigned>(members_), mb,
                                  seconds > 0 ? mb / seconds : 0.0));
    if (last) os_.WriteError("\n");
  }

 private:
  NativeServices& os_;
  size_t members_;
  double start_;
  double shown_ = -1;
  uint64_t bytes_ = 0;
};

}  // namespace

int RunNativePacker(NativeServices& os) {
  Run run{os};
  PackCursor cursor(os.SlashStartsSwitch());
  const char* program = cursor.ArgAt(0);
  std::string moduleBaseName = ModuleBaseName(program ? program : "stowkit");
  pack::PackSettings settings;
  settings.acceptNative = true;
  {
    PackCursor helpScan(os.SlashStartsSwitch());
    if (cursor.Next() == nullptr) {
      os.WriteOutput(pack::UsageText(cursor.ProgramName()));
      return 1;
    }
    if (!pack::IsHelpRequest(helpScan) && !cursor.IsSwitchNamed("create", 3)) {
      return run.Fail("-create:OUTPUT must be the first argument", 1);
    }
  }
  PackCursor helpScan(os.SlashStartsSwitch());
  pack::ArgumentResult arguments = pack::ReadPackArguments(helpScan, cursor, settings);
  switch (arguments.outcome) {
    case pack::ArgumentOutcome::kUsage:
      os.WriteOutput(pack::UsageText(cursor.ProgramName()));
      return 0;
    case pack::ArgumentOutcome::kError:
      return run.Fail(arguments.errorText, 1);
    case pack::ArgumentOutcome::kFatal:
      os.WriteError(pack::TranslateFailureText(arguments.fatal));
      return pack::TranslateFailureExitStatus(arguments.fatal);
    case pack::ArgumentOutcome::kProceed:
      break;
  }
  std::string reason;
  std::unique_ptr<CodePage> codePage = os.OpenCodePage(settings.codePage, reason);
  if (!codePage) return run.Fail(FormatToString("Unknown code page %u: %s", settings.codePage, reason.c_str()), 1);

  pack::SteeringResult steering;
  {
    NativeSteering platform(os, *codePage);
    steering = pack::ReadSteeringFile(settings.steeringPath, settings.keywords, moduleBaseName, platform);
  }
  if (steering.fatal != pack::TranslateStatus::kOk) {
    os.WriteError(pack::TranslateFailureText(steering.fatal));
    return pack::TranslateFailureExitStatus(steering.fatal);
  }
  if (!steering.errorText.empty()) return run.Fail(steering.errorText, 1);
  bool compressControl = settings.compressControl && steering.compressControl;
  bool compressMembers = settings.compressMembers && steering.compressMembers;

  // The stub.
  std::string stubPath = settings.stubPath.empty() ? os.ProgramDirectory() + kDefaultStub : settings.stubPath;
  SystemError failure;
  std::unique_ptr<pack::InputFile> stubFile = os.OpenInput(stubPath, failure);
  if (!stubFile) {
    return run.Fail(FormatToString("\n-- stub '%s' cannot be opened%s \n %s", stubPath.c_str(),
                                   settings.stubPath.empty() ? " (name one with -stub:)" : "",
                                   CodeAndText(failure).c_str()), 1);
  }
  StubSource stubSource(*stubFile);
  pack::KitRequest request;
  request.stub = stubFile.get();
  if (!pack::ReadPeImage(stubSource, request.stubImage, reason) ||
      !pack::PlanKitImage(request.stubImage, request.plan, reason)) {
    return run.Fail(FormatToString("\n-- stub '%s' cannot be used: %s", stubPath.c_str(), reason.c_str()), 1);
  }

  std::string errorText;
  if (!OutputIsNoInput(os, settings.outputPath, steering, stubPath, errorText)) return run.Fail(errorText, 1);
  if (!AddVersion(os, settings, *codePage, request, errorText) ||
      !AddIcon(os, steering.iconPath, stubSource, stubPath, request, errorText) ||
      !AddControlFile(steering.controlText, compressControl, request, errorText)) {
    return run.Fail(errorText, 2);
  }
  AddMembers(steering, *codePage, compressMembers, request);
  request.jobs = settings.jobs ? settings.jobs : os.ProcessorCount();
  request.sizeLimit = pack::KitImageLimit(request.stubImage.machine);
  request.sizeLimitText = pack::KitArchitectureName(request.stubImage.machine);
  std::unique_ptr<Progress> progress;
  if (os.ErrorIsTerminal()) {
    progress = std::make_unique<Progress>(os, request.members.size());
    request.progress = [&progress](size_t members, uint64_t bytes) { progress->Update(members, bytes); };
  }

  std::unique_ptr<KitOutput> out = os.CreateKitOutput(settings.outputPath, failure);
  if (!out) {
    return run.Fail(FormatToString("file copy failed '%s' --> '%s' \n %s\n", stubPath.c_str(),
                                   settings.outputPath.c_str(), CodeAndText(failure).c_str()), 1);
  }
  bool written = pack::WriteKit(os, request, *out, errorText);
  if (progress) progress->Update(request.members.size(), 0, true);
  if (!written) return run.Fail(errorText, 2);
  if (!out->Commit(failure)) {
    return run.Fail(FormatToString("failure on closing target installer file '%s' \n %s",
                                   settings.outputPath.c_str(), CodeAndText(failure).c_str()), 2);
  }
  return 0;
}

}  // namespace nativepack
