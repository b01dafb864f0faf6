// The portable profile reader on the table of tricky steering files (the Windows test checks
// the same table against the platform's reader).
#include <gtest/gtest.h>

#include "pack/profilereader.h"
#include "pack/versioninfo.h"
#include "profile_cases.h"

namespace {

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return out;
}

TEST(ProfileReader, AnswersAsThePlatformDoes) {
  for (const ProfileCase& c : ProfileCases()) {
    pack::ProfileReader reader(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(),
                               pack::Latin1ToUtf16);
    for (const ProfileQuery& q : c.queries) {
      std::string got;
      if (q.key == nullptr) {
        for (const std::u16string& key : reader.Keys(pack::Latin1ToUtf16(q.section))) {
          got += (got.empty() ? "" : "|") + Narrow(key);
        }
        EXPECT_EQ(got, q.expected ? q.expected : "") << c.name << " [" << q.section << "]";
        continue;
      }
      std::u16string value;
      bool found = reader.Find(pack::Latin1ToUtf16(q.section), pack::Latin1ToUtf16(q.key), value);
      EXPECT_EQ(found, q.expected != nullptr) << c.name << " " << q.key;
      if (found && q.expected) {
        EXPECT_EQ(Narrow(value), q.expected) << c.name << " " << q.key;
      }
    }
  }
}

}  // namespace
