// The pending resource update, the version resource and the icon.
#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "pack/icon.h"
#include "pack/packtime.h"
#include "pack/versioninfo.h"
#include "pack/win32/packwin32.h"
#include "services/kitformat.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"
#include "services/win32/services.h"

namespace pack {

ResourceUpdate::~ResourceUpdate() {
  if (handle_ != nullptr) EndUpdateResourceA(handle_, TRUE);
}

bool ResourceUpdate::Begin(const std::string& path) {
  handle_ = BeginUpdateResourceA(path.c_str(), TRUE);
  return handle_ != nullptr;
}

bool ResourceUpdate::Fits(uint64_t size) const {
  KitBudget trial = budget_;
  return trial.Take(size);
}

bool ResourceUpdate::Record(LPCSTR type, LPCSTR name, WORD language, const void* data,
                            DWORD size) {
  if (!budget_.Take(size)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  return UpdateResourceA(handle_, type, name, language, const_cast<void*>(data), size) != FALSE;
}

bool ResourceUpdate::End(bool discard) {
  HANDLE handle = handle_;
  handle_ = nullptr;
  return EndUpdateResourceA(handle, discard ? TRUE : FALSE) != FALSE;
}

int BuildVersionResource(ResourceUpdate& update, const std::string& outputPath,
                         const std::map<std::string, std::string>& values, std::string& reason) {
  VersionInputs inputs;
  inputs.values = values;
  inputs.outputPath = outputPath;
  int64_t epoch = 0;
  switch (ReadSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), epoch, reason)) {
    case EpochSetting::kInvalid:
      return -2;
    case EpochSetting::kSet: {
      PackTime time = PackTimeFromEpoch(epoch);
      inputs.year = time.year;
      inputs.fileTime = time.fileTime;
      break;
    }
    case EpochSetting::kUnset: {
      std::time_t now = std::time(nullptr);
      const std::tm* local = std::localtime(&now);
      inputs.year = local ? local->tm_year + 1900 : 1970;
      FILETIME fileTime;
      GetSystemTimeAsFileTime(&fileTime);
      inputs.fileTime = (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
      break;
    }
  }
  ByteVector bytes;
  if (!BuildVersionResourceBytes(inputs, ::AnsiToUtf16, bytes, reason)) return -2;
  if (!update.Record(RT_VERSION, MAKEINTRESOURCEA(kitformat::kVersionResourceName),
                     kitformat::kLanguage, bytes.data(), static_cast<DWORD>(bytes.size()))) {
    return -1;
  }
  return 0;
}

namespace {

// A resource of the module as bytes; false when it cannot be found, loaded or locked.
bool LoadModuleResource(HMODULE module, LPCSTR name, LPCSTR type, ByteVector& out) {
  HRSRC found = FindResourceA(module, name, type);
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return false;
  const uint8_t* data = static_cast<const uint8_t*>(LockResource(loaded));
  DWORD size = SizeofResource(module, found);
  if (data == nullptr) return false;
  out.assign(data, data + size);
  return true;
}

}  // namespace

bool ExtractDefaultIcon(const std::wstring& path, const char* groupName, HMODULE module) {
  if (module == nullptr) module = GetModuleHandleA(nullptr);
  std::wstring callable = CallablePath(path);
  UniqueFileHandle file(CreateFileW(callable.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    ReportText("Error Opening Temporary Icon File for Writing");
    return false;
  }
  ByteVector group;
  std::vector<GroupEntry> entries;
  std::vector<ByteVector> images;
  bool found = LoadModuleResource(module, groupName, RT_GROUP_ICON, group) &&
               ParseGroupDirectory(group.data(), group.size(), entries);
  for (size_t n = 0; found && n < entries.size(); ++n) {
    images.emplace_back();
    found = LoadModuleResource(module, MAKEINTRESOURCEA(entries[n].id), RT_ICON, images.back());
  }
  if (!found) {  // no default icon in this image (a kit used as packer): no icon, no message
    return false;
  }
  ByteVector ico = BuildIconFile(entries, images);
  DWORD written = 0;
  bool ok = WriteFile(file.get(), ico.data(), static_cast<DWORD>(ico.size()), &written, nullptr) &&
            written == ico.size();
  ok = file.reset() && ok;
  if (!ok) ReportText("Error Writing Temporary ICO File");
  return ok;
}

int ReplaceIcon(ResourceUpdate& update, WORD groupName, const std::wstring& icoPath) {
  FileBytes file;
  if (!ReadWholeFile(icoPath, true, file)) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_READ_FAULT);
    return -1;
  }
  IconFile icon;
  std::string reason;
  if (!ParseIconFile(file.data(), file.size, icon, reason)) {
    SetLastError(ERROR_INVALID_DATA);
    return -1;
  }
  WORD id = 0;
  for (const IconImage& image : icon.images) {
    if (!update.Record(RT_ICON, MAKEINTRESOURCEA(++id), kitformat::kLanguage,
                       file.data() + image.offset, image.size)) {
      return -1;
    }
  }
  ByteVector directory = BuildGroupDirectory(icon);
  if (!update.Record(RT_GROUP_ICON, MAKEINTRESOURCEA(groupName), kitformat::kGroupIconLanguage,
                     directory.data(), static_cast<DWORD>(directory.size()))) {
    return -1;
  }
  return 0;
}

}  // namespace pack
