#include "pack/kitinputs.h"

#include "formatstring.h"

namespace pack {

std::vector<std::string> KitInputs(const SteeringResult& steering, const std::string& packerImage) {
  std::vector<std::string> inputs = {steering.steeringPath};
  for (const auto& entry : steering.members) inputs.push_back(entry.second.sourcePath);
  if (!steering.iconPath.empty()) inputs.push_back(steering.iconPath);
  inputs.push_back(packerImage);
  return inputs;
}

std::string OutputIsInputText(const std::string& output) {
  return FormatToString("\n-- output file '%s' is also an input of this kit", output.c_str());
}

}  // namespace pack
