// The portable profile reader against the platform's GetPrivateProfileStringA, on the same files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "../profile_cases.h"
#include "pack/profilereader.h"

namespace {

std::u16string FromAnsi(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return std::u16string(wide.begin(), wide.end());
}

std::string ToAnsi(const std::u16string& text) {
  std::wstring wide(text.begin(), text.end());
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
  return out;
}

const char* const kAbsent = "<absent>";

std::string PlatformAnswer(const std::string& path, const ProfileQuery& q) {
  char buffer[4096];
  DWORD n = GetPrivateProfileStringA(q.section, q.key, kAbsent, buffer, sizeof buffer, path.c_str());
  if (q.key != nullptr) return std::string(buffer, n);
  std::string joined;
  for (const char* at = buffer; at < buffer + n && *at; at += strlen(at) + 1) {
    if (!joined.empty()) joined += "|";
    joined += at;
  }
  return joined;
}

std::string PortableAnswer(const pack::ProfileReader& reader, const ProfileQuery& q) {
  if (q.key == nullptr) {
    std::string joined;
    for (const std::u16string& key : reader.Keys(FromAnsi(q.section))) {
      if (!joined.empty()) joined += "|";
      joined += ToAnsi(key);
    }
    return joined;
  }
  std::u16string value;
  if (!reader.Find(FromAnsi(q.section), FromAnsi(q.key), value)) return kAbsent;
  return ToAnsi(value);
}

TEST(ProfileReaderAgainstPlatform, AnswersAlike) {
  char dir[MAX_PATH];
  ASSERT_NE(GetTempPathA(sizeof dir, dir), 0u);
  std::string path = std::string(dir) + "stowkit-profile-case.ini";
  for (const ProfileCase& c : ProfileCases()) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(c.bytes.data(), 1, c.bytes.size(), f);
    std::fclose(f);
    pack::ProfileReader reader(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), FromAnsi);
    for (const ProfileQuery& q : c.queries) {
      std::string platform = PlatformAnswer(path, q);
      EXPECT_EQ(PortableAnswer(reader, q), platform) << c.name << ": [" << q.section << "] "
                                                     << (q.key ? q.key : "(keys)");
      EXPECT_EQ(platform, q.expected ? q.expected : (q.key ? kAbsent : ""))
          << "platform, " << c.name << ": [" << q.section << "] " << (q.key ? q.key : "(keys)");
    }
  }
  DeleteFileA(path.c_str());
}

}  // namespace
