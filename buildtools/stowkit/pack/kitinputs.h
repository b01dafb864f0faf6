// The files a kit is made from. The output must be none of them: writing the kit over its own
// steering file, a member or the packer would destroy the user's file and pack nonsense.
#pragma once

#include <string>
#include <vector>

#include "pack/steering.h"

namespace pack {

// The steering file, every member source, the icon (when named) and the packer image.
std::vector<std::string> KitInputs(const SteeringResult& steering, const std::string& packerImage);

// "\n-- output file '<output>' is also an input of this kit"
std::string OutputIsInputText(const std::string& output);

// The error text when output names the same file as one of the inputs, else empty. sameFile(a,
// b) is the platform's answer (volume and file index, device and inode): false when either does
// not exist or cannot be examined.
template <class SameFile>
std::string CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs,
                                 SameFile sameFile) {
  for (const std::string& input : inputs) {
    if (sameFile(output, input)) return OutputIsInputText(output);
  }
  return std::string();
}

}  // namespace pack
