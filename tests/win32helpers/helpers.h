// Small pieces shared by the Win32 test helper programs: UTF-8/UTF-16 conversion, hex
// decoding, JSON string output, whole-file I/O and raw writes to the standard handles.
// JSON is written as pure ASCII (everything else as \u escapes), so no code page can
// alter it between the helper and the Python tests.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace helpers {

inline std::wstring FromUtf8(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
  return w;
}

inline std::string ToUtf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

// Decodes lower- or upper-case hex; false on odd length or a non-hex digit.
inline bool HexDecode(const std::string& hex, std::string& out) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (hex.size() % 2) return false;
  out.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back((char)(hi * 16 + lo));
  }
  return true;
}

inline void JsonUnit(std::string& out, unsigned unit) {
  if (unit == '"') {
    out += "\\\"";
  } else if (unit == '\\') {
    out += "\\\\";
  } else if (unit >= 0x20 && unit < 0x7f) {
    out.push_back((char)unit);
  } else {
    char buf[8];
    snprintf(buf, sizeof buf, "\\u%04x", unit & 0xffff);
    out += buf;
  }
}

// A quoted JSON string of UTF-16 text (surrogate pairs pass through as two escapes).
inline std::string JsonWide(const wchar_t* s, size_t n) {
  std::string out = "\"";
  for (size_t i = 0; i < n; ++i) JsonUnit(out, (unsigned)(unsigned short)s[i]);
  return out + "\"";
}
inline std::string JsonWide(const std::wstring& s) { return JsonWide(s.data(), s.size()); }

// A quoted JSON string holding 8-bit text byte for byte: each byte becomes the code point
// of the same number, so Python recovers the bytes with .encode("latin-1").
inline std::string JsonBytes(const char* s, size_t n) {
  std::string out = "\"";
  for (size_t i = 0; i < n; ++i) JsonUnit(out, (unsigned char)s[i]);
  return out + "\"";
}
inline std::string JsonBytes(const std::string& s) { return JsonBytes(s.data(), s.size()); }

inline std::string JsonBool(bool b) { return b ? "true" : "false"; }

inline std::string Decimal(unsigned long long v) {
  char buf[32];
  snprintf(buf, sizeof buf, "%llu", v);
  return buf;
}

inline bool ReadWholeFile(const std::wstring& path, std::string& out) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  out.clear();
  char buf[65536];
  DWORD got = 0;
  bool ok = true;
  for (;;) {
    if (!ReadFile(h, buf, sizeof buf, &got, nullptr)) { ok = false; break; }
    if (got == 0) break;
    out.append(buf, got);
  }
  CloseHandle(h);
  return ok;
}

inline bool WriteAll(HANDLE h, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    DWORD chunk = (DWORD)std::min<size_t>(data.size() - done, 1 << 20), wrote = 0;
    if (!WriteFile(h, data.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  return true;
}

// Creates or replaces (append = false) or appends to (append = true) a file.
inline bool WriteFileText(const std::wstring& path, const std::string& data, bool append) {
  HANDLE h = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(h, data);
  return CloseHandle(h) && ok;
}

// Raw bytes to a standard handle: no C runtime text-mode translation of line ends.
inline void WriteStd(DWORD which, const std::string& data) {
  HANDLE h = GetStdHandle(which);
  if (h && h != INVALID_HANDLE_VALUE) WriteAll(h, data);
}

inline std::wstring LastErrorText(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, (LPWSTR)&text, 0, nullptr);
  std::wstring result = text ? text : L"";
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
    result.pop_back();
  return result;
}

inline std::wstring WindowText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return std::wstring();
  std::vector<wchar_t> buf(n + 1);
  int got = GetWindowTextW(hwnd, buf.data(), n + 1);
  return std::wstring(buf.data(), got > 0 ? got : 0);
}

// Makes the three standard handles inheritable and fills a STARTUPINFO that hands them to a
// child, so that what any program in the tree writes reaches the test's capture files.
inline void InheritStdHandles(STARTUPINFOW& si) {
  si.dwFlags |= STARTF_USESTDHANDLES;
  HANDLE* slots[3] = {&si.hStdInput, &si.hStdOutput, &si.hStdError};
  DWORD ids[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (int i = 0; i < 3; ++i) {
    HANDLE h = GetStdHandle(ids[i]);
    if (h && h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    *slots[i] = h;
  }
}

}  // namespace helpers
