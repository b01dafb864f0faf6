// Helpers shared by the client-library tests.
#pragma once

#include <functional>
#include <string>

// A narrow literal in either width (bytes widened one by one).
template <class Ch>
std::basic_string<Ch> Str(const std::string& s) {
  std::basic_string<Ch> out;
  for (char c : s) out.push_back(static_cast<Ch>(static_cast<unsigned char>(c)));
  return out;
}

// Narrow copy of a text of either width, for failure messages.
template <class Ch>
std::string Narrow(const std::basic_string<Ch>& s) {
  std::string out;
  for (Ch c : s) out.push_back(static_cast<unsigned long>(c) < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

// Runs fn on a thread of its own and waits for it (fresh per-thread state).
// False when no thread could be started.
bool RunOnNewThread(const std::function<void()>& fn);

// A path in the temporary directory, unique to this process.
std::string TempFilePath(const std::string& name);

// In a wide format the Windows runtime reads %s as a wide string; the C library wants %ls.
#ifdef _WIN32
#define TEST_WIDE_S "s"
#else
#define TEST_WIDE_S "ls"
#endif
