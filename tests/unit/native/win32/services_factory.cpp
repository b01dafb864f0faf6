#include "../services_factory.h"

#include "native/win32/services_win32.h"

std::unique_ptr<nativepack::NativeServices> MakeServices() {
  return std::make_unique<nativepack::Win32Services>();
}
