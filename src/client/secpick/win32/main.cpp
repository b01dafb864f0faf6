// Entry of secpick (UTF-16 build of the shared client library).
#include <windows.h>

#include "clientexception.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  return -3;
}
