// verinfo: prints the version resource of a file as one JSON object (ASCII):
//   {"size": N, "fixed": {...}|null, "translations": [{"language": N, "codepage": N,
//    "strings": {"CompanyName": s, ...}}...]}
// "fixed" holds the VS_FIXEDFILEINFO fields; "strings" holds those standard names that the
// translation's string table contains. Ends with status 1 and a message on standard error
// when the file has no version resource, 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <string>

#include "helpers.h"

using namespace helpers;

namespace {

const wchar_t* const kStandardNames[] = {
    L"CompanyName",     L"FileDescription", L"Comments",         L"ProductName",
    L"PrivateBuild",    L"SpecialBuild",    L"InternalName",     L"LegalTrademarks",
    L"OriginalFilename", L"FileVersion",    L"ProductVersion",   L"LegalCopyright"};

std::string Field(const char* name, DWORD value, bool first = false) {
  return std::string(first ? "" : ", ") + "\"" + name + "\": " + Decimal(value);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    WriteStd(STD_ERROR_HANDLE, "usage: verinfo.exe FILE\n");
    return 2;
  }
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
  std::string block(size, '\0');
  if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, &block[0])) {
    DWORD code = GetLastError();
    WriteStd(STD_ERROR_HANDLE, "verinfo: no version information in " + ToUtf8(argv[1]) + " (" +
                                   Decimal(code) + " " + ToUtf8(LastErrorText(code)) + ")\n");
    return 1;
  }

  std::string out = "{\"size\": " + Decimal(size) + ", \"fixed\": ";
  void* p = nullptr;
  UINT len = 0;
  if (VerQueryValueW(&block[0], L"\\", &p, &len) && len >= sizeof(VS_FIXEDFILEINFO)) {
    const VS_FIXEDFILEINFO* f = static_cast<const VS_FIXEDFILEINFO*>(p);
    out += "{" + Field("signature", f->dwSignature, true) + Field("struc_version", f->dwStrucVersion) +
           Field("file_version_ms", f->dwFileVersionMS) + Field("file_version_ls", f->dwFileVersionLS) +
           Field("product_version_ms", f->dwProductVersionMS) +
           Field("product_version_ls", f->dwProductVersionLS) +
           Field("file_flags_mask", f->dwFileFlagsMask) + Field("file_flags", f->dwFileFlags) +
           Field("file_os", f->dwFileOS) + Field("file_type", f->dwFileType) +
           Field("file_subtype", f->dwFileSubtype) + Field("file_date_ms", f->dwFileDateMS) +
           Field("file_date_ls", f->dwFileDateLS) + "}";
  } else {
    out += "null";
  }

  out += ", \"translations\": [";
  if (VerQueryValueW(&block[0], L"\\VarFileInfo\\Translation", &p, &len)) {
    const WORD* pairs = static_cast<const WORD*>(p);
    for (UINT i = 0; i + 1 < len / sizeof(WORD); i += 2) {
      WORD language = pairs[i], codepage = pairs[i + 1];
      out += i ? ", " : "";
      out += "{\"language\": " + Decimal(language) + ", \"codepage\": " + Decimal(codepage) +
             ", \"strings\": {";
      bool first = true;
      for (const wchar_t* name : kStandardNames) {
        wchar_t query[96];
        swprintf(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", language, codepage, name);
        void* text = nullptr;
        UINT chars = 0;
        if (!VerQueryValueW(&block[0], query, &text, &chars)) continue;
        const wchar_t* s = static_cast<const wchar_t*>(text);
        size_t n = 0;
        while (text && n < chars && s[n]) ++n;
        out += (first ? "\"" : ", \"") + ToUtf8(name) + "\": " + JsonWide(s, n);
        first = false;
      }
      out += "}}";
    }
  }
  out += "]}\n";
  WriteStd(STD_OUTPUT_HANDLE, out);
  return 0;
}
