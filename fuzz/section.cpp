// Section extraction over arbitrary file contents, section names and fallback choices.
// Checks what must hold for any input: only -1 or a line count comes back, the output exists
// exactly when a section was found, and it holds one line break per counted line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../tests/unit/secpick/memoryfiles.h"
#include "section.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // First byte: bits 0-1 pick the section name, bits 2-3 the fallback (absent, empty, named).
  static const wchar_t* const kNames[] = {L"A", L"default", L"[x]", L""};
  const uint8_t choice = data[0];
  secpick::SectionRequest request;
  request.section = kNames[choice & 3];
  request.input = L"in";
  request.output = L"out";
  switch ((choice >> 2) & 3) {
    case 1: request.fallback = L""; break;
    case 2: request.fallback = L"b"; break;
    case 3: request.fallback = kNames[(choice >> 4) & 3]; break;
    default: break;
  }

  secpick_testing::MemoryFiles files;
  files.inputs[L"in"] = std::string(reinterpret_cast<const char*>(data + 1), size - 1);
  secpick_testing::Latin1CodePage codePage;
  int32_t result = secpick::ExtractSection(request, files, codePage);

  auto output = files.outputs.find(L"out");
  if (result < secpick::kNoSectionFound) std::abort();
  if ((result >= 0) != (output != files.outputs.end())) std::abort();
  if (result >= 0) {
    size_t breaks = 0;
    for (char c : output->second) breaks += c == '\n';
    if (breaks != static_cast<size_t>(result)) std::abort();
  }
  return 0;
}
