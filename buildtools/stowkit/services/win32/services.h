// Services both modes of stowkitwin share: whole-file reading, pack mode's reporting and fatal
// ends (temporary files: tempfile.h).
#pragma once

#include <string>
#include <vector>

// Where ReportText writes. Pack mode sets these; run mode leaves them off.
struct ReportSettings {
  bool messageBoxes = false;  // pack mode with an instance handle
  bool quiet = false;         // pack mode's -quiet
  int boxesShown = 0;
  std::string caption;        // the module base name, then the steering file's DESCRIPTION
};
ReportSettings& Reporting();

// With message boxes on and quiet off: the first text of the process in a task-modal box
// (0x2030) captioned with Reporting().caption, later texts dropped. Otherwise the text goes
// unchanged to the standard error stream.
void ReportText(const std::string& text);

// Throws FatalEnd with status 1 and the text; the mode's top level reports it.
[[noreturn]] void FatalError(const std::string& text);

// Ends the process with the given status (open streams are flushed and closed by the runtime).
[[noreturn]] void ExitWithStatus(int status);

// The whole file (its path of any length) followed by 6 zero bytes (so the buffer also ends an 8-bit or 16-bit text);
// size is the number of bytes read. False when the file cannot be examined, opened, allocated
// for or read completely.
struct FileBytes {
  std::vector<unsigned char> bytes;  // size + 6 bytes
  size_t size = 0;
  const unsigned char* data() const { return bytes.data(); }
};
bool ReadWholeFile(const std::string& path, bool binary, FileBytes& out);
bool ReadWholeFile(const std::wstring& path, bool binary, FileBytes& out);
