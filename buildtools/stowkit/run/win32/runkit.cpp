#include "run/win32/runkit.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "commandline.h"
#include "formatstring.h"
#include "run/memoryprofile.h"
#include "run/runsteps.h"
#include "run/win32/runner.h"
#include "services/kitformat.h"
#include "services/win32/handles.h"
#include "services/win32/services.h"
#include "services/win32/win32util.h"

namespace {

constexpr int kStepFailedStatus = 1;
constexpr int kDescriptionBuffer = 256;
constexpr int kCommandBuffer = 1024;
constexpr int kDefaultSetupErrorFatal = 123;
// Kits started within the same second each get their own directory: the next seconds' names
// are tried before giving up.
constexpr int kWorkingDirectoryTries = 64;

// A relative log name is resolved now, while the start directory is still the current one, so
// that every line (and the installer, through INSTALL_LOGFILE) uses the same file outside the
// working directory, which is deleted at the end.
std::string InstallLogPath(const std::string& startDir, const KitArguments& args) {
  if (!args.hasLog || args.logValue.empty()) return AppendPath(startDir, "install.log");
  DWORD needed = GetFullPathNameA(args.logValue.c_str(), 0, nullptr, nullptr);
  if (needed != 0) {
    std::string full(needed, '\0');
    DWORD got = GetFullPathNameA(args.logValue.c_str(), needed, &full[0], nullptr);
    if (got != 0 && got < needed) {
      full.resize(got);
      return full;
    }
  }
  return AppendPath(startDir, args.logValue);
}

std::string UtcTimeText() {
  std::time_t now = std::time(nullptr);
  const std::tm* utc = std::gmtime(&now);
  const char* text = utc ? std::asctime(utc) : nullptr;
  return text ? text : "\n";
}

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != 0; }

// The control file out of the resources, through two temporary files and zlib's reader.
// False after showing the failure.
bool ReadControlFile(std::string& text) {
  long long size = -1;
  const unsigned char* stored =
      LoadKitResource(kitformat::kControlFileName, kitformat::kResourceType, size);
  if (!stored) {
    ShowRunnerMessage("Corruption in kit file: missing KIT.INFO file");
    return false;
  }
  std::string storedName = MakeTempFileName();
  std::string plainName = MakeTempFileName();
  std::string error;
  FileBytes plain;
  // A copy that could not be written completely would read back as a shorter control file.
  bool written = WriteBytesToFile(storedName, stored, static_cast<size_t>(size));
  gzFile in = written ? gzopen(storedName.c_str(), "rb") : nullptr;
  if (!in) {
    error = FormatToString("failed to open temporary kit.info ('%s') for decompression",
                           storedName.c_str());
  } else if (FILE* out = std::fopen(plainName.c_str(), "wb"); !out) {
    gzclose(in);
    error = FormatToString("failed to create temporary copy of kit.info ('%s') for decompression",
                           plainName.c_str());
  } else {
    GunzipToFile(in, out);
    if (ReadWholeFile(plainName, true, plain)) {
      LogLine(ReadControlFileLine(plain.size));
    } else {
      error = FormatToString("failed to re-read uncompressed kit.info ('%s')", plainName.c_str());
    }
  }
  // Both names were claimed as files by MakeTempFileName, whatever happened since.
  DeleteFileA(plainName.c_str());
  DeleteFileA(storedName.c_str());
  if (!error.empty()) {
    ShowRunnerMessage(error);
    return false;
  }
  text = DecodeControlFile(plain.data(), plain.size, AnsiFromUtf16);
  return true;
}

// Creates the target's directory levels below the working directory; false after showing
// the failure.
bool CreateDirectoryLevels(const std::string& target) {
  for (const std::string& level : DirectoryLevels(target, IsLeadByte)) {
    if (GetFileAttributesA(level.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    if (!CreateDirectoryA(level.c_str(), nullptr)) {
      ShowRunnerMessage(FormatToString("Failed to create directory segment '%s'", level.c_str()));
      return false;
    }
  }
  return true;
}

void ExtractMember(const UnpackMember& member) {
  TargetProblem problem = CheckTargetName(member.target, IsLeadByte);
  if (problem != TargetProblem::kNone) {
    ShowRunnerMessage(UnsafeTargetMessage(member.target, problem));
    return;
  }
  long long size = -1;
  const unsigned char* data = LoadKitResource(member.key, kitformat::kResourceType, size);
  if (!data) {
    ShowRunnerMessage(FormatToString("Corruption in kit file: failed to locate kit file '%s'",
                                     member.target.c_str()));
    return;
  }
  if (!CreateDirectoryLevels(member.target) || member.target.empty()) return;

  // zlib reads files, so the stored bytes go through a temporary copy.
  std::string copy = MakeTempFileName();
  FILE* file = std::fopen(copy.c_str(), "wb");
  if (!file) {
    ShowRunnerMessage(FormatToString("Open for write failed on kit file '%s'", copy.c_str()));
    DeleteFileA(copy.c_str());  // the name's empty file, if it could be made at all
    return;
  }
  bool written = size == 0 || std::fwrite(data, 1, static_cast<size_t>(size), file) ==
                                  static_cast<size_t>(size);
  if (std::fclose(file) != 0 || !written) {
    // A short copy would unpack to a shorter file without any other sign.
    ShowRunnerMessage(FormatToString("Write failed on kit file '%s'", copy.c_str()));
    DeleteFileA(copy.c_str());
    return;
  }
  LogLine(CreatedFileLine(copy, static_cast<size_t>(size)));

  gzFile in = gzopen(copy.c_str(), "rb");
  if (!in) {
    ShowRunnerMessage("failed to open temporary file for decompression");
  } else if (FILE* out = std::fopen(member.target.c_str(), "wb"); !out) {
    gzclose(in);
    ShowRunnerMessage("failed to open temporary copy of kit.info for decompression");
  } else {
    GunzipToFile(in, out);
    LogLine(CreatedTargetLine(member.target));
  }
  DeleteFileA(copy.c_str());
}

}  // namespace

int RunKit(HINSTANCE instance, const char* moduleBaseName) {
  RunnerState& runner = Runner();
  runner.instance = instance;
  runner.messageTitle = moduleBaseName ? moduleBaseName : "";
  MemoryProfile::SetLeadByteTest(IsLeadByte);

  std::string startDir = CurrentDirectory();
  if (startDir.empty()) {
    ShowRunnerMessage("Failure: cannot get current working directory");
    return kStepFailedStatus;
  }
  std::string tempPath = TempPath();
  if (tempPath.empty()) {
    ShowRunnerMessage("Failure: cannot find temporary path");
    return kStepFailedStatus;
  }

  KitArguments args;
  {
    BasicCommandLineCursor<char> cursor;
    args = TakeKitArguments(cursor);
  }
  runner.logPath = InstallLogPath(startDir, args);
  WriteInstallLog(LogHeaderLine(UtcTimeText()));

  std::string controlText;
  if (!ReadControlFile(controlText)) return kStepFailedStatus;
  MemoryProfile profile(instance);
  profile.SetTrimValues(true);
  profile.Feed(true, controlText.size(), controlText.data());

  std::vector<char> buffer(kCommandBuffer);
  profile.GetString(kitformat::kInfoSection, "DESCRIPTION", moduleBaseName, buffer.data(),
                    kDescriptionBuffer);
  runner.messageTitle = buffer.data();
  profile.GetString(kitformat::kInfoSection, "COMMANDLINE", "", buffer.data(), kCommandBuffer);
  std::string commandLine = buffer.data();
  profile.GetString(kitformat::kInfoSection, "WINCMDLINE", "", buffer.data(), kCommandBuffer);
  std::string winCmdLine = buffer.data();
  bool fatal =
      profile.GetInt(kitformat::kInfoSection, "SETUP_ERROR_FATAL", kDefaultSetupErrorFatal) != 0;

  commandLine = SubstituteKitArguments(commandLine, args.text);
  winCmdLine = SubstituteKitArguments(winCmdLine, args.text);

  std::string workDir = CreateWorkingDirectory(
      tempPath, static_cast<long long>(std::time(nullptr)), kWorkingDirectoryTries,
      [](const std::string& path) {
        if (CreateDirectoryA(path.c_str(), nullptr)) return CreateOutcome::kCreated;
        return GetLastError() == ERROR_ALREADY_EXISTS ? CreateOutcome::kExists
                                                      : CreateOutcome::kFailed;
      });
  if (workDir.empty()) {
    ShowRunnerMessage("Failure: could not create temporary directory");
    return kStepFailedStatus;
  }
  if (!SetCurrentDirectoryA(workDir.c_str())) {
    ShowRunnerMessage("Failure: could not set working directory to temporary directory");
    return kStepFailedStatus;
  }

  ForEachMember(profile, ExtractMember);

  int status = RunInstaller(workDir, commandLine, winCmdLine, fatal);
  CleanUpWorkingDirectory(workDir, startDir);
  return status;
}
