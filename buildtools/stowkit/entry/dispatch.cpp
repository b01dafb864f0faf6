#include "entry/dispatch.h"

bool IsPackModeRequest(BasicCommandLineCursor<char>& cursor) {
  return cursor.Next() != nullptr && cursor.IsSwitchNamed("create", 3);
}

std::string ModuleBaseName(const std::string& modulePath) {
  // The file name starts after the last '\', '/' or ':' (as PathFindFileName finds it).
  size_t start = modulePath.find_last_of("\\/:");
  std::string name = modulePath.substr(start == std::string::npos ? 0 : start + 1);
  // The extension starts at the last '.', unless a blank follows it (PathFindExtension's rule).
  size_t dot = std::string::npos;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '.') dot = i;
    else if (name[i] == ' ') dot = std::string::npos;
  }
  if (dot != std::string::npos) name.resize(dot);
  return name;
}
