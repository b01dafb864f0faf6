// The operating system as the native packer sees it: the kit writer's files and threads, plus
// whole-file reads, file identity, code-page conversion, the kit's output file (written under
// a temporary name beside it and renamed into place only when complete), the program's own
// place, the environment and the standard streams. POSIX and Win32 implement it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pack/kitplatform.h"
#include "services/systemerror.h"

namespace nativepack {

// Conversion between one code page's 8-bit text and UTF-16. Characters that the target
// cannot hold become '?'.
class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual std::u16string ToUtf16(const std::string& text) = 0;
  virtual std::string FromUtf16(const std::u16string& text) = 0;
};

// The file being written as the kit. Destroying it without Commit removes it.
class KitOutput : public pack::OutputFile {
 public:
  // Puts the complete kit in place of the output path.
  virtual bool Commit(SystemError& error) = 0;
};

// Which file a path names, independently of how it is spelled.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity& o) const { return volume == o.volume && index == o.index; }
};

class NativeServices : public pack::KitPlatform {
 public:
  // Paths as written in steering files and on the command line: '\' and '/' both separate.
  virtual std::string HostPath(const std::string& path) = 0;
  // Whether '/' introduces a switch as '-' does. Not on POSIX systems, where absolute paths
  // start with it.
  virtual bool SlashStartsSwitch() = 0;
  virtual bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, SystemError& error) = 0;
  // Whether a file or directory exists there; the reason when it does not.
  virtual bool Exists(const std::string& path, SystemError& error) = 0;
  // False when nothing can be found at the path.
  virtual bool Identity(const std::string& path, FileIdentity& id) = 0;
  // Null (with the reason) when the system has no such code page.
  virtual std::unique_ptr<CodePage> OpenCodePage(unsigned codePage, std::string& reason) = 0;
  virtual std::unique_ptr<KitOutput> CreateKitOutput(const std::string& path, SystemError& error) = 0;
  virtual unsigned ProcessorCount() = 0;
  // The directory of the running program.
  virtual std::string ProgramDirectory() = 0;
  virtual const char* Environment(const char* name) = 0;
  virtual int64_t UnixTime() = 0;
  virtual int LocalYear(int64_t unixTime) = 0;
  virtual bool ErrorIsTerminal() = 0;
  virtual void WriteError(const std::string& text) = 0;
  virtual void WriteOutput(const std::string& text) = 0;
};

// The services of the system the program runs on (POSIX or Win32).
std::unique_ptr<NativeServices> MakeHostServices();

// Runs the native packer on the process command line; returns the exit status.
int RunNativePacker(NativeServices& os);

}  // namespace nativepack
