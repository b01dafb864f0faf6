// Win32 pieces of pack mode, shared by its source files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "pack/kitlimit.h"
#include "pack/steering.h"
#include "services/systemerror.h"
#include "services/win32/services.h"
#include "services/win32/codepage.h"
#include "services/win32/systemerror.h"
#include "services/win32/tempfile.h"

namespace pack {

// The steering-file reads through the platform's profile reader.
class Win32SteeringPlatform : public SteeringPlatform {
 public:
  Win32SteeringPlatform() = default;
  ~Win32SteeringPlatform() override;  // removes the profile copy of a long steering file
  Win32SteeringPlatform(const Win32SteeringPlatform&) = delete;
  Win32SteeringPlatform& operator=(const Win32SteeringPlatform&) = delete;
  bool ReadSteeringBytes(const std::string& path, std::vector<uint8_t>& bytes,
                         SystemError& error) override;
  std::u16string AnsiToUtf16(const std::string& text) override;
  std::string Utf16ToAnsi(const std::u16string& text) override;
  std::string ProfileString(const std::string& path, const char* section, const char* key,
                            const std::string& defaultValue, size_t maxChars) override;
  std::vector<std::string> ProfileKeys(const std::string& path, const char* section) override;
  bool PathExists(const std::string& path, SystemError& error) override;

 private:
  // The profile reader takes plain-length paths only, so a longer steering file is read through
  // a temporary copy of the bytes just read; false with the error when it cannot be made.
  bool MakeProfileCopy(const FileBytes& file, SystemError& error);
  // The file to give the profile reader for path; null for a long path without a copy, which
  // then reads as empty (its failed read has been reported).
  const std::string* ProfilePath(const std::string& path) const;

  std::string longPath_;  // the steering file when its path is too long for the profile reader
  std::string copyPath_;  // its copy, once made
  TempFile copy_;         // owns the copy
};

// A pending resource update of the output file: committed only by Commit, discarded otherwise
// (also when the owner goes away early). Counts the recorded bytes against the kit limit.
class ResourceUpdate {
 public:
  explicit ResourceUpdate(uint64_t limit) : budget_(limit) {}
  ~ResourceUpdate();
  ResourceUpdate(const ResourceUpdate&) = delete;
  ResourceUpdate& operator=(const ResourceUpdate&) = delete;

  bool Begin(const std::string& path);  // deletes the file's existing resources
  // False with the platform error set when the platform refuses.
  bool Record(LPCSTR type, LPCSTR name, WORD language, const void* data, DWORD size);
  // Whether size more bytes still fit in the kit; the caller reports KitTooLargeText if not.
  bool Fits(uint64_t size) const;
  // Ends the update: writes it unless discard is set. False with the platform error set.
  bool End(bool discard);
  const KitBudget& budget() const { return budget_; }

 private:
  HANDLE handle_ = nullptr;
  KitBudget budget_;
};

// The version-information resource of the kit. 0 on success; -1 when the platform refused it
// (GetLastError says why); -2 when the values cannot be represented (reason says why).
int BuildVersionResource(ResourceUpdate& update, const std::string& outputPath,
                         const std::map<std::string, std::string>& values, std::string& reason);

// Writes the named icon group of the module (the running executable when null) as an .ico file.
bool ExtractDefaultIcon(const std::wstring& path, const char* groupName, HMODULE module);

// Records the images of an .ico file as icons 1..n and their directory as the group. -1 with
// the platform error set when the file cannot be read, is not a sound icon file (nothing is
// recorded then) or the platform refuses a resource.
int ReplaceIcon(ResourceUpdate& update, WORD groupName, const std::wstring& icoPath);

// Removes the certificate table that a signed packer image leaves in the kit at path and
// makes its header checksum true (see PlanHeaderRepair). False with a message appended to
// errorText.
bool RepairKitHeaders(const std::string& path, std::string& errorText);

}  // namespace pack
