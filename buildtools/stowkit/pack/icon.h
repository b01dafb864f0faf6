// Icon files (.ico) and icon-group directories: reading and checking an .ico file whole before
// anything of it is recorded, the group directory a kit carries, and the .ico file written
// back out of a group resource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "services/bytewriter.h"

namespace pack {

// One image of an .ico file: the first 12 bytes of its directory entry (width, height, colour
// count, reserved, planes, bit count, bytes in resource) and where its bytes lie in the file.
struct IconImage {
  uint8_t entry[12];
  uint32_t offset = 0;
  uint32_t size = 0;
};

struct IconFile {
  uint8_t header[6];  // idReserved, idType, idCount as in the file
  std::vector<IconImage> images;
};

// Checks and reads an .ico file: header with reserved 0 and type 1, the whole directory present,
// every image non-empty and inside the file. False with a reason otherwise.
bool ParseIconFile(const uint8_t* data, size_t size, IconFile& out, std::string& reason);

// The group directory recorded for the icon: 6 + 14 x count bytes, the n-th entry naming icon
// resource n.
ByteVector BuildGroupDirectory(const IconFile& icon);

// One entry of a group directory found in a module.
struct GroupEntry {
  uint8_t entry[12];  // as above; bytes-in-resource as the directory states it
  uint16_t id = 0;    // integer name of the icon resource
};

// Reads a group directory (header with type 1, every entry present). False when malformed.
bool ParseGroupDirectory(const uint8_t* data, size_t size, std::vector<GroupEntry>& entries);

// The .ico file for a group whose images are given in directory order: reserved bytes written
// as 0, sizes and offsets taken from the images themselves.
ByteVector BuildIconFile(const std::vector<GroupEntry>& entries,
                         const std::vector<ByteVector>& images);

}  // namespace pack
