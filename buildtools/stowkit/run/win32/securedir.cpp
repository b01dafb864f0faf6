#include "run/win32/securedir.h"

#include <windows.h>

#include "run/workdir.h"
#include "services/win32/codepage.h"
#include "services/win32/handles.h"
#include "services/win32/longpath.h"

namespace run {

namespace {
// Kits started within the same second each get their own directory: the next seconds' names
// are tried before giving up.
constexpr int kWorkingDirectoryTries = 64;

// A token information class read whole.
bool TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, ByteVector& out) {
  DWORD needed = 0;
  GetTokenInformation(token, kind, nullptr, 0, &needed);
  if (needed == 0) return false;
  out.assign(needed, 0);
  return GetTokenInformation(token, kind, out.data(), needed, &needed) != 0;
}
}  // namespace

bool ReadTokenFacts(bool& elevated, ByteVector& userSid) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  UniqueHandle token(raw);
  ByteVector user;
  if (!TokenInformation(token.get(), TokenUser, user)) return false;
  PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  if (!IsValidSid(sid)) return false;
  const uint8_t* sidBytes = static_cast<const uint8_t*>(sid);
  userSid.assign(sidBytes, sidBytes + GetLengthSid(sid));

  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  elevated = GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
             elevation.TokenIsElevated != 0;
  if (!elevated) {
    ByteVector admins = AdministratorsSid();
    BOOL member = FALSE;
    elevated = CheckTokenMembership(nullptr, admins.data(), &member) && member;
  }
  return true;
}

std::wstring MakeWorkingDirectory(const std::wstring& tempPath, long long seconds) {
  bool elevated = false;
  ByteVector userSid;
  // Without knowing whose the kit is, no descriptor can be right: make nothing.
  if (!ReadTokenFacts(elevated, userSid)) return std::wstring();
  ByteVector descriptor = WorkingDirectoryDescriptor(elevated, userSid);
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor.data();
  attributes.bInheritHandle = FALSE;
  std::string made = CreateWorkingDirectory(
      Utf8FromWide(tempPath), seconds, kWorkingDirectoryTries, [&](const std::string& path) {
        if (CreateDirectoryW(CallablePath(WideFromUtf8(path)).c_str(), &attributes)) {
          return CreateOutcome::kCreated;
        }
        return GetLastError() == ERROR_ALREADY_EXISTS ? CreateOutcome::kExists
                                                      : CreateOutcome::kFailed;
      });
  return WideFromUtf8(made);
}

}  // namespace run
