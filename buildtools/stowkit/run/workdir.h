// The working directory a kit unpacks into: its name, and the security descriptor it is made
// with so that nobody but its user (or, for an elevated kit, the administrators) can put a link
// or another file into it while the kit runs.
#pragma once

#include <string>

#include "services/bytewriter.h"

namespace run {

// tempPath joined with "emc_<seconds>".
std::string WorkingDirectoryName(const std::string& tempPath, long long seconds);

// The working directory: "emc_<seconds>" below tempPath, made by create. A name that exists
// already is passed over for the next second's (up to tries names), so a run never uses a
// directory it did not create. Empty when none could be created.
enum class CreateOutcome { kCreated, kExists, kFailed };
template <class Create>
std::string CreateWorkingDirectory(const std::string& tempPath, long long seconds, int tries,
                                   Create create) {
  for (int k = 0; k < tries; ++k) {
    std::string path = WorkingDirectoryName(tempPath, seconds + k);
    switch (create(path)) {
      case CreateOutcome::kCreated: return path;
      case CreateOutcome::kExists: break;
      case CreateOutcome::kFailed: return std::string();
    }
  }
  return std::string();
}

// A self-relative security descriptor with a protected access list: full control, inherited
// by every file and folder below, for SYSTEM and the Administrators group, and for userSid (a
// binary SID) unless the kit runs elevated. No owner or group: the system sets them from the
// token.
ByteVector WorkingDirectoryDescriptor(bool elevated, const ByteVector& userSid);

// The binary SIDs of SYSTEM (S-1-5-18) and of the Administrators group (S-1-5-32-544).
ByteVector LocalSystemSid();
ByteVector AdministratorsSid();

}  // namespace run
