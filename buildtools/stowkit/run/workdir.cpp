#include "run/workdir.h"

#include "formatstring.h"
#include "run/targetnames.h"

namespace run {

namespace {

// Access-control constants of the platform's security descriptor format.
constexpr uint8_t kDescriptorRevision = 1;
constexpr uint16_t kDaclPresent = 0x0004;
constexpr uint16_t kDaclProtected = 0x1000;  // nothing inherited from the temporary folder
constexpr uint16_t kSelfRelative = 0x8000;
constexpr uint8_t kAclRevision = 2;
constexpr uint8_t kAccessAllowedAce = 0;
constexpr uint8_t kObjectAndContainerInherit = 0x01 | 0x02;
constexpr uint32_t kFileAllAccess = 0x001F01FF;
constexpr size_t kDescriptorHeader = 20;
constexpr size_t kAclHeader = 8;
constexpr size_t kAceHeader = 8;  // type, flags, size, access mask

ByteVector NtAuthoritySid(std::initializer_list<uint32_t> subAuthorities) {
  ByteVector sid;
  Put8(sid, 1);  // revision
  Put8(sid, static_cast<uint8_t>(subAuthorities.size()));
  for (int i = 0; i < 5; ++i) Put8(sid, 0);  // identifier authority 5, big-endian
  Put8(sid, 5);
  for (uint32_t sub : subAuthorities) Put32(sid, sub);
  return sid;
}

}  // namespace

std::string WorkingDirectoryName(const std::string& tempPath, long long seconds) {
  return AppendPath(tempPath, FormatToString("emc_%d", static_cast<int>(seconds)));
}

ByteVector LocalSystemSid() { return NtAuthoritySid({18}); }

ByteVector AdministratorsSid() { return NtAuthoritySid({32, 544}); }

ByteVector WorkingDirectoryDescriptor(bool elevated, const ByteVector& userSid) {
  std::vector<ByteVector> sids = {LocalSystemSid(), AdministratorsSid()};
  if (!elevated) sids.push_back(userSid);
  size_t aclSize = kAclHeader;
  for (const ByteVector& sid : sids) aclSize += kAceHeader + sid.size();

  ByteVector out;
  Put8(out, kDescriptorRevision);
  Put8(out, 0);
  Put16(out, kDaclPresent | kDaclProtected | kSelfRelative);
  Put32(out, 0);  // owner
  Put32(out, 0);  // group
  Put32(out, 0);  // system access list
  Put32(out, static_cast<uint32_t>(kDescriptorHeader));
  Put8(out, kAclRevision);
  Put8(out, 0);
  Put16(out, static_cast<uint16_t>(aclSize));
  Put16(out, static_cast<uint16_t>(sids.size()));
  Put16(out, 0);
  for (const ByteVector& sid : sids) {
    Put8(out, kAccessAllowedAce);
    Put8(out, kObjectAndContainerInherit);
    Put16(out, static_cast<uint16_t>(kAceHeader + sid.size()));
    Put32(out, kFileAllAccess);
    out.insert(out.end(), sid.begin(), sid.end());
  }
  return out;
}

}  // namespace run
