// secpick: copies the body of one [section] of a sectioned text file into an output file.
//
// The input is 8-bit text in the ANSI code page, or UTF-16 little-endian starting with U+FEFF.
// A section starts at a line holding its name in square brackets and runs to the next such line
// or to the end of the file. The named section is searched first, then a fallback section
// ("Default" unless the caller names another or passes an empty name to switch it off).
//
// The logic here is portable: files and code-page conversions come in through the small
// interfaces below, so the Win32 program supplies stdio files and the ANSI code page while the
// tests and the fuzzer supply memory buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "commandline.h"

namespace secpick {

// Exit codes other than n >= 0 (the number of body lines written).
constexpr int32_t kNoSectionFound = -1;
// The input opened for the encoding check but not for reading, could not be read, or the output
// could not be created or written. Also the code when the input cannot be opened at all.
constexpr int32_t kFileFailure = -2;
constexpr int32_t kTooFewArguments = -3;

// Lines are read in pieces of at most this many characters (bytes or UTF-16 units); each piece
// is a line of its own for the extractor.
constexpr size_t kMaxPiece = 1023;

// The message of the exception raised when the input cannot be opened at all (%s: the path).
extern const wchar_t kOpenErrorFormat[];

enum class Encoding { kAnsi, kUtf16 };

// One open input stream.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The next byte (0..255), or -1 at the end of the input or on a read error.
  virtual int ReadByte() = 0;
  // Back to the first byte; false when the stream cannot be repositioned.
  virtual bool Rewind() = 0;
  // True once a read failed for another reason than the end of the input.
  virtual bool Failed() const = 0;
};

// The output file, open in text mode.
class LineSink {
 public:
  virtual ~LineSink() = default;
  // Writes text and a line break (the stream's text mode makes it CR LF on Windows).
  virtual bool WriteLine(const std::string& text) = 0;
  // Flushes and closes; false when something written did not reach the file.
  virtual bool Close() = 0;
};

enum class OpenMode {
  kBinary,  // "rb"
  kText,    // "rt": CR LF arrives as LF
};

class SectionFiles {
 public:
  virtual ~SectionFiles() = default;
  // Opens path for reading. When that fails and errorFormat is given, raises a
  // CClientException (by pointer) made of errorFormat and the path; otherwise returns null.
  virtual std::unique_ptr<ByteSource> OpenInput(const std::wstring& path, OpenMode mode,
                                                const wchar_t* errorFormat) = 0;
  // Creates or truncates path in text mode ("wt"); null when that fails.
  virtual std::unique_ptr<LineSink> CreateOutput(const std::wstring& path) = 0;
};

// Conversions between UTF-16 and the 8-bit code page of the files (the ANSI code page).
class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual std::wstring ToWide(const std::string& text) = 0;
  // Characters the code page lacks become its default replacement character.
  virtual std::string ToNarrow(const std::wstring& text) = 0;
};

struct SectionRequest {
  std::wstring section;
  std::wstring input;
  std::wstring output;
  // Absent: the fallback is "Default". Empty: no fallback pass.
  std::optional<std::wstring> fallback;
};

// Reads the positional arguments from exactly the four places after the program name; a switch
// uses up its place and is ignored, later arguments are never looked at. False when fewer than
// three positional arguments were found.
bool CollectRequest(BasicCommandLineCursor<wchar_t>& cursor, SectionRequest& request);

// UTF-16 exactly when the first unit is U+FEFF and the second lies in U+0000..U+00FF (a unit
// that cannot be read counts as 0xFFFF). Reads from the current position.
Encoding DetectEncoding(ByteSource& source);

// Reads up to and including the next line feed, at most kMaxPiece characters. False when not a
// single character could be read. A UTF-16 unit cut short by the end of the input is dropped.
bool ReadPiece(ByteSource& source, std::string& piece);
bool ReadPiece(ByteSource& source, std::wstring& piece);

// True when line, without leading and trailing spaces and tabs, is at least two characters long
// and starts with '[' and ends with ']'; header then holds that trimmed text.
bool FindHeader(const std::wstring& line, std::wstring& header);

// The whole extraction; returns the exit code (n lines written, or a negative code above).
// May raise CClientException* from the encoding check's open.
int32_t ExtractSection(const SectionRequest& request, SectionFiles& files, CodePage& codePage);

}  // namespace secpick
