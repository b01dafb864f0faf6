// The working directory, made with a protected security descriptor.
#pragma once

#include <string>

#include "services/bytewriter.h"

namespace run {

// Whether the kit runs elevated (an elevated token, or the Administrators group enabled in
// it) and the binary SID of its user; false when the token cannot be read.
bool ReadTokenFacts(bool& elevated, ByteVector& userSid);

// Creates "emc_<seconds>" below tempPath (or a later second's name when that exists) with the
// working directory's descriptor. Empty when none could be made.
std::wstring MakeWorkingDirectory(const std::wstring& tempPath, long long seconds);

}  // namespace run
