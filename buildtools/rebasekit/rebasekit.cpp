// rebasekit: moves a finished kit's payload onto another stowkitwin image.
//
//   rebasekit KIT.exe PACKER-IMAGE.exe OUTPUT.exe
//
// A kit is its packer's image with the resources replaced, so a kit runs on the packer's
// architecture. The 32-bit packer cannot run where only 64-bit Wine is available; this tool
// gives the same kit for 32-bit Windows: it copies PACKER-IMAGE (the i686 stowkitwin.exe) to
// OUTPUT, deletes the copy's resources and records every resource of KIT (type, name, language
// and bytes, unchanged), exactly as the 32-bit packer would have recorded them.
//
// Built by CMake in the Windows trees (build/win64/buildtools/rebasekit/rebasekit.exe).
// Exit status 0 on success, 1 with a message on the standard error stream otherwise.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A resource name or type: an integer identifier or a text.
struct ResName {
  bool isId = false;
  WORD id = 0;
  std::wstring text;

  static ResName From(LPCWSTR name) {
    ResName n;
    if (IS_INTRESOURCE(name)) {
      n.isId = true;
      n.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    } else {
      n.text = name;
    }
    return n;
  }
  LPCWSTR Get() const { return isId ? MAKEINTRESOURCEW(id) : text.c_str(); }
  std::wstring Show() const { return isId ? std::to_wstring(id) : text; }
};

struct Resource {
  ResName type;
  ResName name;
  WORD language = 0;
  std::vector<unsigned char> bytes;
};

struct Collection {
  HMODULE module = nullptr;
  std::vector<ResName> types;
  std::vector<ResName> names;
  std::vector<Resource> resources;
  bool failed = false;
};

BOOL CALLBACK OnType(HMODULE, LPWSTR type, LONG_PTR param) {
  reinterpret_cast<Collection*>(param)->types.push_back(ResName::From(type));
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  reinterpret_cast<Collection*>(param)->names.push_back(ResName::From(name));
  return TRUE;
}

struct LanguageVisit {
  Collection* collection;
  const ResName* type;
  const ResName* name;
};

BOOL CALLBACK OnLanguage(HMODULE module, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
  auto* visit = reinterpret_cast<LanguageVisit*>(param);
  HRSRC found = FindResourceExW(module, visit->type->Get(), visit->name->Get(), language);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = found ? SizeofResource(module, found) : 0;
  if (!data && size != 0) {
    visit->collection->failed = true;
    return FALSE;
  }
  Resource r;
  r.type = *visit->type;
  r.name = *visit->name;
  r.language = language;
  const auto* bytes = static_cast<const unsigned char*>(data);
  r.bytes.assign(bytes, bytes + size);
  visit->collection->resources.push_back(std::move(r));
  return TRUE;
}

int Fail(const wchar_t* what, const wchar_t* path) {
  std::fwprintf(stderr, L"rebasekit: %ls '%ls' (error %lu)\n", what, path, GetLastError());
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fwprintf(stderr, L"usage: rebasekit KIT.exe PACKER-IMAGE.exe OUTPUT.exe\n");
    return 1;
  }
  const wchar_t* kit = argv[1];
  const wchar_t* image = argv[2];
  const wchar_t* output = argv[3];

  Collection c;
  c.module = LoadLibraryExW(kit, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!c.module) return Fail(L"cannot load the kit", kit);
  EnumResourceTypesW(c.module, OnType, reinterpret_cast<LONG_PTR>(&c));
  for (const ResName& type : c.types) {
    c.names.clear();
    EnumResourceNamesW(c.module, type.Get(), OnName, reinterpret_cast<LONG_PTR>(&c));
    std::vector<ResName> names = c.names;
    for (const ResName& name : names) {
      LanguageVisit visit{&c, &type, &name};
      EnumResourceLanguagesW(c.module, type.Get(), name.Get(), OnLanguage,
                             reinterpret_cast<LONG_PTR>(&visit));
    }
  }
  FreeLibrary(c.module);
  if (c.failed || c.resources.empty()) return Fail(L"cannot read the resources of", kit);

  if (!CopyFileW(image, output, FALSE)) return Fail(L"cannot copy the packer image to", output);
  DWORD attributes = GetFileAttributesW(output);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    SetFileAttributesW(output, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  HANDLE update = BeginUpdateResourceW(output, TRUE);
  if (!update) return Fail(L"cannot update the resources of", output);
  for (Resource& r : c.resources) {
    if (!UpdateResourceW(update, r.type.Get(), r.name.Get(), r.language,
                         r.bytes.empty() ? nullptr : r.bytes.data(),
                         static_cast<DWORD>(r.bytes.size()))) {
      EndUpdateResourceW(update, TRUE);
      std::wstring what = L"cannot record resource " + r.type.Show() + L"/" + r.name.Show() + L" in";
      return Fail(what.c_str(), output);
    }
  }
  if (!EndUpdateResourceW(update, FALSE)) return Fail(L"cannot commit the resources of", output);
  std::fwprintf(stdout, L"rebasekit: %u resources moved to %ls\n",
                static_cast<unsigned>(c.resources.size()), output);
  return 0;
}
