// The native packer's operating system on Windows (stowkit.exe, a console program).
#pragma once

#include <windows.h>

#include <vector>

#include "native/nativeservices.h"

namespace nativepack {

class Win32Services : public NativeServices {
 public:
  Win32Services() = default;
  ~Win32Services() override;
  std::unique_ptr<pack::InputFile> OpenInput(const std::string& path, SystemError& error) override;
  std::unique_ptr<pack::SpillFile> CreateSpill(SystemError& error) override;
  std::unique_ptr<pack::Monitor> NewMonitor() override;
  bool StartThread(std::function<void()> body, SystemError& error) override;
  void JoinThreads() override;
  double Now() override;
  bool SlashStartsSwitch() override { return true; }
  std::string HostPath(const std::string& path) override { return path; }
  bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, SystemError& error) override;
  bool Exists(const std::string& path, SystemError& error) override;
  bool Identity(const std::string& path, FileIdentity& id) override;
  std::unique_ptr<CodePage> OpenCodePage(unsigned codePage, std::string& reason) override;
  std::unique_ptr<KitOutput> CreateKitOutput(const std::string& path, SystemError& error) override;
  unsigned ProcessorCount() override;
  std::string ProgramDirectory() override;
  const char* Environment(const char* name) override;
  int64_t UnixTime() override;
  int LocalYear(int64_t unixTime) override;
  bool ErrorIsTerminal() override;
  void WriteError(const std::string& text) override;
  void WriteOutput(const std::string& text) override;

 private:
  struct Thread {
    HANDLE handle;
    std::function<void()>* body;
  };
  std::vector<Thread> threads_;
};

}  // namespace nativepack
