// The files a kit is made from. The output must be none of them: writing the kit over its own
// steering file, a member or the packer would destroy the user's file and pack nonsense.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pack/steering.h"

namespace pack {

// The steering file, every member source, the icon (when named) and the packer image.
std::vector<std::string> KitInputs(const SteeringResult& steering, const std::string& packerImage);

// Where two paths name one file, the platform's answer (volume and file index, device and
// inode): false when either does not exist or cannot be examined.
using SameFileTest = std::function<bool(const std::string& a, const std::string& b)>;

// The error text when output names the same file as one of the inputs, else empty.
std::string CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs,
                                 const SameFileTest& sameFile);

}  // namespace pack
