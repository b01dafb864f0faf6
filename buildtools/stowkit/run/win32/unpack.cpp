#include "run/win32/unpack.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "formatstring.h"
#include "run/installlog.h"
#include "run/targetnames.h"
#include "run/win32/report.h"
#include "services/fatalend.h"
#include "services/gunzip.h"
#include "services/kitformat.h"
#include "services/win32/codepage.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"
#include "services/win32/services.h"
#include "services/win32/systemerror.h"
#include "services/win32/tempfile.h"

namespace run {

namespace {

constexpr size_t kTrailingZeros = 6;

std::string UpperCase(const std::string& text) {
  std::string upper = text;
  if (!upper.empty()) CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
  return upper;
}

// The resource's bytes followed by 6 zero bytes, valid until the next call; size is set to its
// byte count. Null (size -1) when it is missing or cannot be loaded.
const unsigned char* LoadKitResource(const std::string& name, long long& size) {
  size = -1;
  RunnerState& state = Runner();
  HRSRC info = FindResourceA(state.instance, UpperCase(name).c_str(),
                             UpperCase(kitformat::kResourceType).c_str());
  if (!info) return nullptr;
  HGLOBAL loaded = LoadResource(state.instance, info);
  if (!loaded) return nullptr;
  DWORD bytes = SizeofResource(state.instance, info);
  const void* data = LockResource(loaded);
  if (!data && bytes != 0) return nullptr;
  size_t needed = static_cast<size_t>(bytes) + kTrailingZeros;
  if (state.resourceCapacity < needed) {
    // Grows to the largest member and is reused: one member in memory at a time.
    state.resource.reset(new (std::nothrow) unsigned char[needed]);
    state.resourceCapacity = state.resource ? needed : 0;
    if (!state.resource) return nullptr;
  }
  if (bytes) std::memcpy(state.resource.get(), data, bytes);
  std::memset(state.resource.get() + bytes, 0, kTrailingZeros);
  size = static_cast<long long>(bytes);
  return state.resource.get();
}

FILE* OpenWide(const std::wstring& path, const wchar_t* mode) {
  return _wfopen(CallablePath(path).c_str(), mode);
}

// Writes bytes to a new (or truncated) file; false when any part of it failed.
bool WriteBytesToFile(const std::wstring& path, const unsigned char* data, size_t size) {
  UniqueStdioFile file(OpenWide(path, L"wb"));
  if (!file) return false;
  bool ok = size == 0 || std::fwrite(data, 1, size, file.get()) == size;
  return file.reset() && ok;
}

// Why a write failed, captured at the failing call: the system's text, else the runtime's.
std::string WriteFailureReason(int runtimeError) {
  DWORD code = GetLastError();
  if (code != ERROR_SUCCESS) return SystemErrorText(code);
  return std::strerror(runtimeError);
}

struct GunzipOutcome {
  enum Kind { kDone, kDamaged, kWriteFailed } kind = kDone;
  std::string reason;
};

// Decompresses the stored copy in (or copies it, when it is no gzip data) to out and closes
// both. Data that ends early or fails its checks is damaged, in zlib's words.
GunzipOutcome GunzipToFile(UniqueStdioFile& in, UniqueStdioFile& out) {
  static std::vector<unsigned char> block(kitformat::kStreamBuffer);
  std::setvbuf(out.get(), nullptr, _IOFBF, kitformat::kStreamBuffer);
  std::string writeFailure;
  GunzipFilter filter([&](const uint8_t* data, size_t size) {
    SetLastError(ERROR_SUCCESS);
    errno = 0;
    if (std::fwrite(data, 1, size, out.get()) == size) return true;
    writeFailure = WriteFailureReason(errno);
    return false;
  });
  auto failed = [&]() {
    if (filter.sinkFailed()) return GunzipOutcome{GunzipOutcome::kWriteFailed, writeFailure};
    return GunzipOutcome{GunzipOutcome::kDamaged, filter.error()};
  };
  for (;;) {
    size_t got = std::fread(block.data(), 1, block.size(), in.get());
    if (std::ferror(in.get())) return {GunzipOutcome::kDamaged, "read error"};
    if (got == 0) break;
    if (!filter.Feed(block.data(), got)) return failed();
  }
  if (!filter.Finish()) return failed();
  in.reset();
  SetLastError(ERROR_SUCCESS);
  errno = 0;
  if (!out.reset()) return {GunzipOutcome::kWriteFailed, WriteFailureReason(errno)};
  return {};
}

// A directory level or target that exists: it must not lead anywhere else.
bool IsLink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD Attributes(const std::wstring& path) {
  return GetFileAttributesW(CallablePath(path).c_str());
}

// Creates the target's directory levels below workDir, each a plain directory; false after
// showing why not.
bool MakeDirectoryLevels(const Member& member, const std::wstring& workDir) {
  if (IsLink(Attributes(workDir))) {
    ShowRunnerMessage(UnsafeTargetMessage(member.target, TargetProblem::kLink));
    return false;
  }
  for (const std::string& level : DirectoryLevels(member.target)) {
    std::wstring path = workDir + L"\\" + WideFromUtf8(level);
    DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (!CreateDirectoryW(CallablePath(path).c_str(), nullptr)) {
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
          ShowRunnerMessage(FormatToString("Failed to create directory segment '%s'", level.c_str()));
          return false;
        }
        attributes = Attributes(path);  // made by someone else in between: look at it
      }
    }
    if (IsLink(attributes)) {
      ShowRunnerMessage(UnsafeTargetMessage(member.target, TargetProblem::kLink));
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadControlFile(std::string& text) {
  long long size = -1;
  const unsigned char* stored = LoadKitResource(kitformat::kControlFileName, size);
  if (!stored) {
    ShowRunnerMessage("Corruption in kit file: missing KIT.INFO file");
    return false;
  }
  TempFile storedCopy = ClaimTempFile();
  TempFile plainCopy = ClaimTempFile();
  // A copy that could not be written completely would read back as a shorter control file.
  bool written = WriteBytesToFile(storedCopy.path(), stored, static_cast<size_t>(size));
  UniqueStdioFile in(written ? OpenWide(storedCopy.path(), L"rb") : nullptr);
  if (!in) {
    ShowRunnerMessage(FormatToString("failed to open temporary kit.info ('%s') for decompression",
                                     Utf8FromWide(storedCopy.path()).c_str()));
    return false;
  }
  UniqueStdioFile out(OpenWide(plainCopy.path(), L"wb"));
  if (!out) {
    ShowRunnerMessage(FormatToString(
        "failed to create temporary copy of kit.info ('%s') for decompression",
        Utf8FromWide(plainCopy.path()).c_str()));
    return false;
  }
  GunzipOutcome outcome = GunzipToFile(in, out);
  if (outcome.kind == GunzipOutcome::kDamaged) {
    throw FatalEnd{kFatalErrorStatus, "Corruption in kit file: KIT.INFO cannot be unpacked: " +
                                          Utf8FromAnsi(outcome.reason)};
  }
  if (outcome.kind == GunzipOutcome::kWriteFailed) {
    throw FatalEnd{kFatalErrorStatus,
                   FormatToString("Write failed on temporary copy of kit.info ('%s'): %s",
                                  Utf8FromWide(plainCopy.path()).c_str(),
                                  Utf8FromAnsi(outcome.reason).c_str())};
  }
  FileBytes plain;
  if (!ReadWholeFile(plainCopy.path(), true, plain)) {
    ShowRunnerMessage(FormatToString("failed to re-read uncompressed kit.info ('%s')",
                                     Utf8FromWide(plainCopy.path()).c_str()));
    return false;
  }
  LogLine(ReadControlFileLine(plain.size));
  text = DecodeControlFile(plain.data(), plain.size, Utf8FromAnsi);
  return true;
}

void ExtractMember(const Member& member, const std::wstring& workDir) {
  if (member.tooLong) {
    ShowRunnerMessage(OverlongMemberMessage(member));
    return;
  }
  TargetProblem problem = CheckTargetName(member.target);
  if (problem != TargetProblem::kNone) {
    ShowRunnerMessage(UnsafeTargetMessage(member.target, problem));
    return;
  }
  long long size = -1;
  const unsigned char* data = LoadKitResource(member.key, size);
  if (!data) {
    ShowRunnerMessage(FormatToString("Corruption in kit file: failed to locate kit file '%s'",
                                     member.target.c_str()));
    return;
  }
  if (!MakeDirectoryLevels(member, workDir) || member.target.empty()) return;
  std::wstring target = workDir + L"\\" + WideFromUtf8(member.target);
  if (IsLink(Attributes(target))) {
    ShowRunnerMessage(UnsafeTargetMessage(member.target, TargetProblem::kLink));
    return;
  }

  // The stored bytes go through a temporary copy, which the log names.
  TempFile copy = ClaimTempFile();
  UniqueStdioFile file(OpenWide(copy.path(), L"wb"));
  if (!file) {
    ShowRunnerMessage(FormatToString("Open for write failed on kit file '%s'",
                                     Utf8FromWide(copy.path()).c_str()));
    return;
  }
  bool written = size == 0 || std::fwrite(data, 1, static_cast<size_t>(size), file.get()) ==
                                  static_cast<size_t>(size);
  if (!file.reset() || !written) {
    // A short copy would unpack to a shorter file without any other sign.
    ShowRunnerMessage(FormatToString("Write failed on kit file '%s'",
                                     Utf8FromWide(copy.path()).c_str()));
    return;
  }
  LogLine(CreatedFileLine(Utf8FromWide(copy.path()), static_cast<size_t>(size)));

  UniqueStdioFile in(OpenWide(copy.path(), L"rb"));
  if (!in) {
    ShowRunnerMessage("failed to open temporary file for decompression");
    return;
  }
  UniqueStdioFile out(OpenWide(target, L"wb"));
  if (!out) {
    ShowRunnerMessage("failed to open temporary copy of kit.info for decompression");
    return;
  }
  GunzipOutcome outcome = GunzipToFile(in, out);
  if (outcome.kind != GunzipOutcome::kDone) {
    out.reset();
    DeleteFileW(CallablePath(target).c_str());
    if (outcome.kind == GunzipOutcome::kDamaged) {
      throw FatalEnd{kFatalErrorStatus,
                     FormatToString("Corruption in kit file: member %s ('%s') cannot be unpacked: %s",
                                    member.key.c_str(), member.target.c_str(),
                                    Utf8FromAnsi(outcome.reason).c_str())};
    }
    throw FatalEnd{kFatalErrorStatus,
                   FormatToString("Write failed on target file '%s': %s", member.target.c_str(),
                                  Utf8FromAnsi(outcome.reason).c_str())};
  }
  LogLine(CreatedTargetLine(member.target));
}

}  // namespace run
