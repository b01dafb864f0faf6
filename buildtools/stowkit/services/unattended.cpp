#include "services/unattended.h"

#include <cstring>

Unattended DecideUnattended(const char* variable, bool (*queryVisible)(bool& visible)) {
  if (variable && std::strcmp(variable, "1") == 0) return Unattended::kEnvironment;
  bool visible = true;
  if (!queryVisible(visible)) return Unattended::kWindowStationUnknown;
  return visible ? Unattended::kNo : Unattended::kInvisibleWindowStation;
}

const char* UnattendedReason(Unattended mode) {
  switch (mode) {
    case Unattended::kNo: return "";
    case Unattended::kInvisibleWindowStation: return "window station not visible";
    case Unattended::kWindowStationUnknown: return "window station flags unreadable";
    case Unattended::kEnvironment: return "STOWKIT_UNATTENDED=1";
  }
  return "";
}
