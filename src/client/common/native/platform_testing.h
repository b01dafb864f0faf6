// Test hooks of the native platform layer: the native unit tests set the "process" command
// line and the error texts, and read back the message boxes and debugger output that the
// library produced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace client_platform {
namespace testing {

struct RecordedBox {
  std::wstring text;     // narrow texts are widened byte for byte
  std::wstring caption;
  unsigned style;
};

void SetProcessCommandLine(const std::string& text);
void SetProcessCommandLine(const std::wstring& text);
void SetErrorText(uint32_t code, const std::string& text);  // text as the system would give it
void SetThreadId(uint32_t id);
// Fixes the time the trace prefix shows (seconds since 1970, milliseconds); Reset frees it.
void SetClock(int64_t seconds, int milliseconds);
std::vector<RecordedBox>& MessageBoxes();
std::vector<std::wstring>& DebugOutputs();
void Reset();

}  // namespace testing
}  // namespace client_platform
