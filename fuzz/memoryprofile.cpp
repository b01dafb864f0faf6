// Feeds arbitrary text to the control-file reader in pieces and looks up keys taken from the
// same input, with buffers of every small size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "run/memoryprofile.h"
#include "run/runsteps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // First byte: where to cut the feed; second: the buffer size of the look-ups.
  size_t cut = data[0] % (size - 1);
  int bufferSize = data[1] % 70;
  const char* text = reinterpret_cast<const char*>(data + 2);
  size_t length = size - 2;
  if (cut > length) cut = length;

  MemoryProfile profile(nullptr);
  profile.SetTrimValues((data[1] & 0x80) != 0);
  profile.Feed(false, cut, text);
  profile.Feed(true, length - cut, text + cut);

  std::string buffer(static_cast<size_t>(bufferSize) + 1, 'Z');
  for (const std::string& entry : profile.Entries()) {
    size_t slash = entry.find('\\');
    size_t eq = entry.find('=', slash == std::string::npos ? 0 : slash);
    if (slash == std::string::npos || eq == std::string::npos) __builtin_trap();
    std::string section = entry.substr(0, slash);
    std::string key = entry.substr(slash + 1, eq - slash - 1);
    int got = profile.GetString(section.c_str(), key.c_str(), "d", &buffer[0], bufferSize);
    if (bufferSize > 0) {
      if (got < -1 || got > bufferSize) __builtin_trap();
      if (std::strlen(buffer.c_str()) >= static_cast<size_t>(bufferSize)) __builtin_trap();
    } else if (got != 0) {
      __builtin_trap();
    }
    if (buffer[bufferSize] != 'Z') __builtin_trap();  // never past the buffer
    profile.GetInt(section.c_str(), key.c_str(), 7);
  }
  // Half of the inputs also treat 0x81..0x9F as lead bytes of double-byte characters.
  MemoryProfile::LeadByteTest lead = nullptr;
  if (data[0] & 1) lead = [](unsigned char c) { return c >= 0x81 && c <= 0x9F; };
  ForEachMember(profile, [lead](const UnpackMember& m) {
    CheckTargetName(m.target, lead);
    DirectoryLevels(m.target, lead);
  });
  return 0;
}
