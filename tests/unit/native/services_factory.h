// The operating-system services of the build under test (POSIX natively, Win32 under Wine).
#pragma once

#include <memory>

#include "native/nativeservices.h"

std::unique_ptr<nativepack::NativeServices> MakeServices();
