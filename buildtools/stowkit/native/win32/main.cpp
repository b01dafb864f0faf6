// Entry of the native packer as a Windows console program (stowkit.exe).
#include <cstdio>
#include <exception>

#include "native/nativeservices.h"
#include "platform.h"

int main() {
  client_platform::RestrictDllSearchToSystem();
  try {
    return nativepack::RunNativePacker(*nativepack::MakeHostServices());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "stowkit: %s\n", e.what());
    return 1;
  }
}
