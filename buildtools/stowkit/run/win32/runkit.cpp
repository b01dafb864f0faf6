#include "run/win32/runkit.h"

int RunKit(HINSTANCE, const char*) {
  return 1;  // run mode is not built yet
}
