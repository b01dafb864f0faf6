#include "../services_factory.h"

#include "native/posix/services_posix.h"

std::unique_ptr<nativepack::NativeServices> MakeServices() {
  return std::make_unique<nativepack::PosixServices>();
}
