#include "pack/win32/packkit.h"

int PackKit(HINSTANCE, BasicCommandLineCursor<char>&, const char*) {
  return 1;  // pack mode is not built yet
}
