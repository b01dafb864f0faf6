// Entry of the native packer on POSIX systems.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "native/hostcommandline.h"
#include "native/nativeservices.h"
#include "native/platform_native.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv, argv + argc);
  client_platform::SetNativeCommandLine(nativepack::JoinArguments(arguments));
  try {
    return nativepack::RunNativePacker(*nativepack::MakeHostServices());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "stowkit: %s\n", e.what());
    return 1;
  }
}
