#include "services/win32/unattended.h"

#include <windows.h>

#include <cstdlib>

namespace {
bool WindowStationVisible(bool& visible) {
  HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) {
    return false;
  }
  visible = (flags.dwFlags & WSF_VISIBLE) != 0;
  return true;
}
}  // namespace

Unattended UnattendedMode() {
  static const Unattended mode = DecideUnattended(std::getenv("STOWKIT_UNATTENDED"),
                                                  WindowStationVisible);
  return mode;
}
