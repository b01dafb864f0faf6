#include <unistd.h>

#include <filesystem>
#include <thread>

#include "../testutil.h"

bool RunOnNewThread(const std::function<void()>& fn) {
  std::thread(fn).join();
  return true;
}

std::string TempFilePath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("client_test_" + std::to_string(getpid()) + "_" + name))
      .string();
}
