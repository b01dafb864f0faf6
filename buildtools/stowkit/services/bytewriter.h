// Little-endian byte building for the binary layouts a kit carries (version information,
// icon directories, .ico files). Layouts are written field by field, never as structs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using ByteVector = std::vector<uint8_t>;

inline void Put8(ByteVector& out, uint8_t value) { out.push_back(value); }

inline void Put16(ByteVector& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void Put32(ByteVector& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

inline void Store16(ByteVector& out, size_t at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline uint16_t Get16(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

inline uint32_t Get32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
         (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}
