// Pack mode: arguments, steering file, copy of the packer image, then the kit's resources in one
// update that is committed only when nothing failed.
#include "pack/win32/packkit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "clientexception.h"
#include "formatstring.h"
#include "platform.h"
#include "pack/arguments.h"
#include "pack/gzipmember.h"
#include "pack/kitinputs.h"
#include "pack/win32/packwin32.h"
#include "services/kitformat.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"
#include "services/fatalend.h"
#include "services/win32/services.h"
#include "services/win32/tempfile.h"
#include "services/win32/unattended.h"
#include "services/win32/win32util.h"

namespace pack {

namespace {

using kitformat::kGzipBlock;
using kitformat::kStreamBuffer;
constexpr DWORD kReadChunk = 64u * 1024 * 1024;
constexpr WORD kKitIconGroup = kitformat::kGroupIconName;

[[noreturn]] void EndWithTranslationFailure(TranslateStatus status) {
  ReportText(TranslateFailureText(status));
  ExitWithStatus(TranslateFailureExitStatus(status));
}

void ShowUsage(BasicCommandLineCursor<char>& cursor) {
  std::string programName = cursor.ProgramName();
  std::string text = UsageText(programName);
  if (Reporting().messageBoxes) {
    MessageBoxA(nullptr, text.c_str(), programName.c_str(), kReportBoxStyle);
  } else {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
}

// Streams the input into one gzip member in output and closes both. A read error or a failed
// write ends the run: the update is then never committed and the output stays a plain copy.
void CompressToGzip(UniqueStdioFile& input, UniqueStdioFile& output) {
  static unsigned char buffer[kGzipBlock];
  std::setvbuf(input.get(), nullptr, _IOFBF, kStreamBuffer);
  std::setvbuf(output.get(), nullptr, _IOFBF, kStreamBuffer);
  GzipEncoder encoder([&](const uint8_t* data, size_t size) {
    return std::fwrite(data, 1, size, output.get()) == size;
  });
  for (;;) {
    size_t read = std::fread(buffer, 1, sizeof buffer, input.get());
    if (std::ferror(input.get())) FatalError(FormatToString("fread: %s\n", std::strerror(errno)));
    if (read == 0) break;
    if (!encoder.Write(buffer, read)) FatalError(encoder.error());
  }
  input.reset();
  if (!encoder.Finish() || !output.reset()) FatalError("failed gzclose");
}

// The whole of one member file, in a buffer kept from one member to the next. A fresh buffer
// per member costs a page fault for every page it touches, which under Wine takes about as long
// as reading the data; the kept buffer grows to the largest member and no further.
class MemberBuffer {
 public:
  // False, with the platform error set, when the file cannot be examined, opened, allocated
  // for or read completely.
  bool ReadWhole(const std::wstring& path);
  bool ReadWhole(const std::string& path) { return ReadWhole(client_platform::AnsiToWide(path)); }
  const unsigned char* data() const { return bytes_.data(); }
  size_t size() const { return size_; }

 private:
  std::vector<unsigned char> bytes_;  // never shrinks; size_ bytes of it hold the file
  size_t size_ = 0;
};

bool MemberBuffer::ReadWhole(const std::wstring& path) {
  size_ = 0;
  UniqueFileHandle file(CreateFileW(CallablePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file.get(), &length)) return false;
  // One byte more than the size is asked for, so a file that grew since it was measured is
  // refused rather than cut.
  uint64_t wanted = static_cast<uint64_t>(length.QuadPart) + 1;
  if (wanted > std::numeric_limits<size_t>::max() / 2) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  if (bytes_.size() < wanted) {
    try {
      bytes_.resize(static_cast<size_t>(wanted));
    } catch (const std::bad_alloc&) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
  }
  size_t total = 0;
  for (;;) {
    DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(wanted - total, kReadChunk));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes_.data() + total, chunk, &got, nullptr)) return false;
    total += got;
    if (got == 0 || total == wanted) break;
  }
  if (total != wanted - 1) {
    SetLastError(ERROR_READ_FAULT);
    return false;
  }
  size_ = total;
  return true;
}

class KitWriter {
 public:
  KitWriter(ResourceUpdate& update, std::string& errorText)
      : update_(update), errorText_(errorText) {}

  bool StoreControlFile(const std::u16string& text, bool compress, const std::string& steeringPath);
  bool StoreMember(const std::string& key, const KitMember& member, bool compress);

 private:
  bool Record(const char* name, const void* data, size_t size, const std::string& what);
  void Append(const char* format, const std::string& name) {
    errorText_ += FormatToString(format, name.c_str(), ErrorCodeAndText(CaptureSystemError()).c_str());
  }
  // Compresses source into a new temporary file and reads that back into the member buffer;
  // false after a message.
  bool CompressFile(const std::string& source);

  ResourceUpdate& update_;
  std::string& errorText_;
  MemberBuffer member_;
};

bool KitWriter::Record(const char* name, const void* data, size_t size, const std::string& what) {
  if (!update_.Fits(size)) {
    errorText_ += KitTooLargeText(update_.budget(), size, what);
    return false;
  }
  return update_.Record(kitformat::kResourceType, name, kitformat::kLanguage, data,
                        static_cast<DWORD>(size));
}

bool KitWriter::CompressFile(const std::string& source) {
  TempFile temp = ClaimTempFile();
  UniqueStdioFile input(OpenFileAnyLength(source, "rb"));
  if (!input) {
    Append("\n--- open failure on '%s' \n %s", source);
    return false;
  }
  UniqueStdioFile gz(_wfopen(CallablePath(temp.path()).c_str(), L"wb"));
  if (!gz) {
    errorText_ += FormatToString("can't gzopen '%s'", temp.DisplayName().c_str());
    return false;
  }
  CompressToGzip(input, gz);
  if (member_.ReadWhole(temp.path())) return true;
  Append("\n-- file open error in installer input file '%s' \n %s", source);
  return false;
}

bool KitWriter::StoreControlFile(const std::u16string& text, bool compress,
                                 const std::string& steeringPath) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  if (!compress) {
    if (Record(kitformat::kControlFileName, bytes.data(), bytes.size(), steeringPath)) return true;
    if (update_.Fits(bytes.size())) Append("\n--- resource update error in steering file '%s' \n %s", steeringPath);
    return false;
  }
  TempFile plain = ClaimTempFile();
  TempFile packed = ClaimTempFile();
  {
    UniqueStdioFile out(_wfopen(CallablePath(plain.path()).c_str(), L"wb"));
    bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size();
    if (!out || !out.reset() || !written) {
      Append("\n--- create failure on temporary file '%s' \n %s", plain.DisplayName());
      return false;
    }
  }
  UniqueStdioFile input(_wfopen(CallablePath(plain.path()).c_str(), L"rb"));
  if (!input) {
    Append("\n--- open failure on '%s' \n %s", plain.DisplayName());
    return false;
  }
  // The packed name is held by its empty file since it was claimed; opening it truncates it.
  // Removing it first would let another packer take the name in between.
  UniqueStdioFile gz(_wfopen(CallablePath(packed.path()).c_str(), L"wb"));
  if (!gz) {
    errorText_ += FormatToString("can't gzopen '%s'", packed.DisplayName().c_str());
    return false;
  }
  CompressToGzip(input, gz);
  FileBytes data;
  if (!ReadWholeFile(packed.path(), true, data)) {
    Append("\n--- failed to read compressed file '%s' \n %s", packed.DisplayName());
    return false;
  }
  if (Record(kitformat::kControlFileName, data.data(), data.size, steeringPath)) return true;
  if (update_.Fits(data.size)) Append("\n--- resource update error in steering file '%s' \n %s", steeringPath);
  return false;
}

bool KitWriter::StoreMember(const std::string& key, const KitMember& member, bool compress) {
  if (compress) {
    if (!CompressFile(member.sourcePath)) return false;
  } else {
    if (!member_.ReadWhole(member.sourcePath)) {
      Append("\n-- file open error in installer input file '%s' \n %s", member.sourcePath);
      return false;
    }
    // Every reader decompresses data that starts with the gzip magic, so such a file is
    // wrapped in gzip of its own to unpack byte for byte. An empty resource cannot be
    // recorded at all, so an empty file goes in as the 20-byte gzip stream of nothing.
    bool gzipMagic = member_.size() >= 2 && member_.data()[0] == kitformat::kGzipMagic0 &&
                     member_.data()[1] == kitformat::kGzipMagic1;
    if (gzipMagic || member_.size() == 0) {
      if (!CompressFile(member.sourcePath)) return false;
    }
  }
  if (Record(key.c_str(), member_.data(), member_.size(), member.sourcePath)) return true;
  if (update_.Fits(member_.size())) {
    Append("\n-- resource update error in installer input file '%s' \n %s", member.sourcePath);
  }
  return false;
}

// The file's volume and index; false when it cannot be opened for its attributes.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  UniqueFileHandle file(CreateFileW(CallablePath(client_platform::AnsiToWide(path)).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file && GetFileInformationByHandle(file.get(), &info);
}

// Compares by identity, not by spelling: another spelling, a short name or a hard link of the
// output is the same file. An output that does not exist yet is no input.
std::string OutputClash(const std::string& output, const std::vector<std::string>& inputs) {
  BY_HANDLE_FILE_INFORMATION target;
  if (!FileIdentity(output, target)) return std::string();
  return CheckOutputIsNoInput(output, inputs, [&](const std::string&, const std::string& input) {
    BY_HANDLE_FILE_INFORMATION other;
    return FileIdentity(input, other) && other.dwVolumeSerialNumber == target.dwVolumeSerialNumber &&
           other.nFileIndexHigh == target.nFileIndexHigh &&
           other.nFileIndexLow == target.nFileIndexLow;
  });
}

// The packer's own DEFAULT_ICON as an .ico file in a claimed temporary file; an empty owner
// when this image has none (a kit used as packer) or the file cannot be written, after
// saying so. Never a file of the user's: the current directory is not touched.
TempFile DefaultIconFile() {
  TempFile icon;
  try {
    icon = ClaimTempFile();
  } catch (const FatalEnd&) {
    ReportText("Error Opening Temporary Icon File for Writing");
    return TempFile();
  }
  if (!ExtractDefaultIcon(icon.path(), kitformat::kDefaultIconName, nullptr)) return TempFile();
  return icon;
}

// Version information, icon, control file and members; false when one of them failed.
bool RecordKit(ResourceUpdate& update, const PackSettings& settings, const SteeringResult& steering,
               bool compressControl, bool compressMembers, std::string& errorText) {
  std::string reason;
  int version = BuildVersionResource(update, settings.outputPath, settings.versionValues, reason);
  if (version == -2) {
    errorText += "\n-- version update error \n " + reason;
    return false;
  }
  if (version < 0) {
    errorText += "\n-- version update error \n " + ErrorCodeAndText(CaptureSystemError());
    return false;
  }

  bool good = true;
  SystemError iconError;
  if (!steering.iconPath.empty()) {
    good = ReplaceIcon(update, kKitIconGroup, client_platform::AnsiToWide(steering.iconPath)) == 0;
    if (!good) iconError = CaptureSystemError();
  } else if (TempFile icon = DefaultIconFile()) {
    good = ReplaceIcon(update, kKitIconGroup, icon.path()) == 0;
    if (!good) iconError = CaptureSystemError();
  }
  if (!good) {
    std::string shown = steering.iconPath.empty() ? "(default icon)" : steering.iconPath;
    errorText += FormatToString("\n-- resource update error in icon file '%s' \n %s",
                                shown.c_str(), ErrorCodeAndText(iconError).c_str());
  }
  if (!good) return false;

  KitWriter writer(update, errorText);
  if (!writer.StoreControlFile(steering.controlText, compressControl, steering.steeringPath)) {
    return false;
  }
  for (const auto& [key, member] : steering.members) {
    if (!writer.StoreMember(key, member, compressMembers && member.compress)) return false;
  }
  return true;
}

}  // namespace

namespace {

int PackKitSteps(HINSTANCE instance, BasicCommandLineCursor<char>& cursor,
                 const char* moduleBaseName) {
  ReportSettings& report = Reporting();
  // A packer that nobody watches (a build service, STOWKIT_UNATTENDED=1) writes what it has to
  // say to standard error: a box would wait for ever.
  report.messageBoxes = instance != nullptr && UnattendedMode() == Unattended::kNo;
  report.caption = moduleBaseName;
  const std::string packerImage = ModuleFileName(instance);

  PackSettings settings;
  BasicCommandLineCursor<char> helpScan;
  ArgumentResult arguments = ReadPackArguments(helpScan, cursor, settings);
  report.quiet = settings.quiet;
  switch (arguments.outcome) {
    case ArgumentOutcome::kUsage:
      ShowUsage(cursor);
      return 0;
    case ArgumentOutcome::kError:
      ReportText(arguments.errorText + "\n");
      return 1;
    case ArgumentOutcome::kFatal:
      EndWithTranslationFailure(arguments.fatal);
    case ArgumentOutcome::kProceed:
      break;
  }

  SteeringResult steering;
  {
    // Gone before any end of the run, with the profile copy of a long steering file.
    Win32SteeringPlatform platform;
    steering = ReadSteeringFile(settings.steeringPath, settings.keywords, moduleBaseName, platform);
  }
  report.caption = steering.caption;
  if (steering.fatal != TranslateStatus::kOk) EndWithTranslationFailure(steering.fatal);
  if (!steering.errorText.empty()) {
    ReportText(steering.errorText + "\n");
    return 1;
  }
  std::string clash = OutputClash(settings.outputPath, KitInputs(steering, packerImage));
  if (!clash.empty()) {
    ReportText(clash + "\n");
    return 1;
  }
  bool compressControl = settings.compressControl && steering.compressControl;
  bool compressMembers = settings.compressMembers && steering.compressMembers;

  if (!CopyFileA(packerImage.c_str(), settings.outputPath.c_str(), FALSE)) {
    SystemError error = CaptureSystemError();
    ReportText(FormatToString("file copy failed '%s' --> '%s' \n %s\n", packerImage.c_str(),
                              settings.outputPath.c_str(), ErrorCodeAndText(error).c_str()));
    return 1;
  }
  std::wstring output = CallablePath(client_platform::AnsiToWide(settings.outputPath));
  DWORD attributes = GetFileAttributesW(output.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(output.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
  }

  std::string errorText;
  ResourceUpdate update(KitResourceLimit(sizeof(void*)));
  if (!update.Begin(settings.outputPath)) {
    errorText += "\n-- BeginUpdateResource error \n " + ErrorCodeAndText(CaptureSystemError());
  } else {
    RecordKit(update, settings, steering, compressControl, compressMembers, errorText);
    if (!update.End(!errorText.empty())) {
      errorText += FormatToString("failure on closing target installer file '%s' \n %s",
                                  settings.outputPath.c_str(),
                                  ErrorCodeAndText(CaptureSystemError()).c_str());
    } else if (errorText.empty()) {
      RepairKitHeaders(settings.outputPath, errorText);
    }
  }
  if (!errorText.empty()) {
    ReportText(errorText + "\n");
    return 2;
  }
  return 0;
}

}  // namespace

int PackKit(HINSTANCE instance, BasicCommandLineCursor<char>& cursor, const char* moduleBaseName) {
  try {
    return PackKitSteps(instance, cursor, moduleBaseName);
  } catch (const FatalEnd& end) {
    // Every owner on the way up has deleted its temporary file; the pending update is discarded.
    ReportText(end.text);
    return end.status;
  }
}

}  // namespace pack
