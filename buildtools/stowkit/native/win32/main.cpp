// Entry of the native packer as a Windows console program (stowkit.exe).
#include <cstdio>
#include <exception>

#include "native/nativeservices.h"
#include "native/win32/services_win32.h"
#include "platform.h"

int main() {
  client_platform::RestrictDllSearchToSystem();
  try {
    nativepack::Win32Services os;
    return nativepack::RunNativePacker(os);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "stowkit: %s\n", e.what());
    return 1;
  }
}
