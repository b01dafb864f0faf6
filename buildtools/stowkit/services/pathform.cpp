#include "services/pathform.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

std::wstring WithBackslashes(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

}  // namespace

std::wstring ExtendedLengthForm(const std::wstring& fullPath) {
  static const std::wstring kExtended = L"\\\\?\\";
  if (fullPath.compare(0, kExtended.size(), kExtended) == 0) return fullPath;
  if (fullPath.size() >= 3 && IsAsciiLetter(fullPath[0]) && fullPath[1] == L':' &&
      IsSeparator(fullPath[2])) {
    return kExtended + WithBackslashes(fullPath);
  }
  if (fullPath.size() >= 2 && IsSeparator(fullPath[0]) && IsSeparator(fullPath[1])) {
    // "\\server\share\...": both names must be there and neither may be "." or "?" (the
    // device forms "\\.\" and "//?/").
    size_t serverEnd = fullPath.find_first_of(L"\\/", 2);
    if (serverEnd == std::wstring::npos || serverEnd == 2) return std::wstring();
    std::wstring server = fullPath.substr(2, serverEnd - 2);
    if (server == L"." || server == L"?") return std::wstring();
    size_t shareEnd = fullPath.find_first_of(L"\\/", serverEnd + 1);
    if (shareEnd == serverEnd + 1 || serverEnd + 1 >= fullPath.size()) return std::wstring();
    return kExtended + L"UNC\\" + WithBackslashes(fullPath.substr(2));
  }
  return std::wstring();
}
