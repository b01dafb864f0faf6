#include "run/win32/runner.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "clientexception.h"
#include "commandline.h"
#include "platform.h"
#include "run/runsteps.h"
#include "services/kitformat.h"
#include "services/win32/handles.h"
#include "services/win32/services.h"

namespace {

using kitformat::kGzipBlock;
using kitformat::kStreamBuffer;
constexpr size_t kTrailingZeros = 6;

std::string UpperCase(const std::string& text) {
  std::string upper = text;
  if (!upper.empty()) CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
  return upper;
}

}  // namespace

RunnerState& Runner() {
  static RunnerState state;
  return state;
}

void WriteInstallLog(const std::string& text) {
  const std::string& path = Runner().logPath;
  if (path.empty()) return;
  UniqueStdioFile log(std::fopen(path.c_str(), "a"));
  if (!log) return;
  std::fwrite(text.data(), 1, text.size(), log.get());
}

void LogLine(const std::string& text) {
  WriteInstallLog(text);
  if (IsDebugOn()) OutputDebugStringA(text.c_str());
}

void ShowRunnerMessage(const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), Runner().messageTitle.c_str(), kReportBoxStyle);
}

bool IsDebugOn() {
  RunnerState& state = Runner();
  if (state.debug < 0) {
    BasicCommandLineCursor<char> cursor;
    state.debug = TakeDebugSwitches(cursor) ? 1 : 0;
  }
  return state.debug == 1;
}

const unsigned char* LoadKitResource(const std::string& name, const std::string& type,
                                     long long& size) {
  size = -1;
  RunnerState& state = Runner();
  std::string upperName = UpperCase(name);
  std::string upperType = UpperCase(type);
  HRSRC info = FindResourceA(state.instance, upperName.c_str(), upperType.c_str());
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

void GunzipToFile(gzFile in, FILE* out) {
  static std::vector<unsigned char> block(kGzipBlock);
  gzbuffer(in, kStreamBuffer);
  std::setvbuf(out, nullptr, _IOFBF, kStreamBuffer);
  for (;;) {
    int got = gzread(in, block.data(), kGzipBlock);
    if (got < 0) {
      int code = 0;
      const char* text = gzerror(in, &code);
      FatalError(text ? text : "gzread failed");
    }
    if (got == 0) break;
    if (std::fwrite(block.data(), 1, static_cast<size_t>(got), out) != static_cast<size_t>(got)) {
      FatalError("failed fwrite");
    }
  }
  if (std::fclose(out) != 0) FatalError("failed fclose");
  if (gzclose(in) != Z_OK) FatalError("failed gzclose");
}

bool WriteBytesToFile(const std::string& path, const unsigned char* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

