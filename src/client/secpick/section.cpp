#include "section.h"

#include <limits>

namespace secpick {

// The Windows runtime reads %s in a wide format as a wide string; elsewhere it takes %ls.
#ifdef _WIN32
const wchar_t kOpenErrorFormat[] = L"Internal Error [could not open file (%s)]";
#else
const wchar_t kOpenErrorFormat[] = L"Internal Error [could not open file (%ls)]";
#endif

namespace {

constexpr unsigned kByteOrderMark = 0xFEFF;
constexpr unsigned kUnreadableUnit = 0xFFFF;
const wchar_t kDefaultFallback[] = L"Default";

enum class State { kSearching, kCopying, kDone };

// One little-endian unit, or -1 when the input ends (or fails) before both bytes are read.
long ReadUnit(ByteSource& source) {
  int low = source.ReadByte();
  if (low < 0) return -1;
  int high = source.ReadByte();
  if (high < 0) return -1;
  return static_cast<long>(low | (high << 8));
}

template <class Text>
void StripLineEnds(Text& line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

wchar_t FoldAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c; }

bool EqualIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// Reads the next line of the current pass as UTF-16 text; false at the end of the input.
bool ReadLine(ByteSource& input, Encoding encoding, int lineNumber, CodePage& codePage,
              std::wstring& line) {
  if (encoding == Encoding::kUtf16) {
    if (!ReadPiece(input, line)) return false;
    StripLineEnds(line);
    if (lineNumber == 1 && !line.empty() && line.front() == kByteOrderMark) line.erase(0, 1);
    return true;
  }
  std::string raw;
  if (!ReadPiece(input, raw)) return false;
  StripLineEnds(raw);
  line = codePage.ToWide(raw);
  return true;
}

}  // namespace

bool CollectRequest(BasicCommandLineCursor<wchar_t>& cursor, SectionRequest& request) {
  std::wstring positional[4];
  int count = 0;
  for (int place = 0; place < 4; ++place) {
    const wchar_t* argument = cursor.Next();
    if (argument && !cursor.IsSwitch()) positional[count++] = argument;
  }
  if (count < 3) return false;
  request.section = positional[0];
  request.input = positional[1];
  request.output = positional[2];
  request.fallback.reset();
  if (count == 4) request.fallback = positional[3];
  return true;
}

Encoding DetectEncoding(ByteSource& source) {
  long first = ReadUnit(source);
  long second = ReadUnit(source);
  unsigned u1 = first < 0 ? kUnreadableUnit : static_cast<unsigned>(first);
  unsigned u2 = second < 0 ? kUnreadableUnit : static_cast<unsigned>(second);
  return (u1 == kByteOrderMark && u2 <= 0x00FF) ? Encoding::kUtf16 : Encoding::kAnsi;
}

bool ReadPiece(ByteSource& source, std::string& piece) {
  piece.clear();
  while (piece.size() < kMaxPiece) {
    int c = source.ReadByte();
    if (c < 0) break;
    piece.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !piece.empty();
}

bool ReadPiece(ByteSource& source, std::wstring& piece) {
  piece.clear();
  while (piece.size() < kMaxPiece) {
    long unit = ReadUnit(source);
    if (unit < 0) break;
    piece.push_back(static_cast<wchar_t>(unit));
    if (unit == '\n') break;
  }
  return !piece.empty();
}

bool FindHeader(const std::wstring& line, std::wstring& header) {
  size_t begin = 0;
  size_t end = line.size();
  while (begin < end && IsBlank(line[begin])) ++begin;
  while (end > begin && IsBlank(line[end - 1])) --end;
  if (end - begin < 2 || line[begin] != L'[' || line[end - 1] != L']') return false;
  header.assign(line, begin, end - begin);
  return true;
}

int32_t ExtractSection(const SectionRequest& request, SectionFiles& files, CodePage& codePage) {
  Encoding encoding;
  {
    std::unique_ptr<ByteSource> check =
        files.OpenInput(request.input, OpenMode::kBinary, kOpenErrorFormat);
    if (!check) return kFileFailure;
    encoding = DetectEncoding(*check);
  }

  std::unique_ptr<ByteSource> input = files.OpenInput(
      request.input, encoding == Encoding::kUtf16 ? OpenMode::kBinary : OpenMode::kText, nullptr);
  if (!input) return kFileFailure;

  int32_t result = kNoSectionFound;
  State state = State::kSearching;
  std::unique_ptr<LineSink> output;
  std::wstring line;
  std::wstring header;

  for (int pass = 0; pass < 2 && result < 0; ++pass) {
    std::wstring name;
    if (pass == 0) {
      name = request.section;
    } else if (!request.fallback) {
      name = kDefaultFallback;
    } else if (request.fallback->empty()) {
      break;
    } else {
      name = *request.fallback;
    }
    const std::wstring target = L"[" + name + L"]";

    if (!input->Rewind()) return kFileFailure;
    for (int lineNumber = 1; state != State::kDone; ++lineNumber) {
      if (!ReadLine(*input, encoding, lineNumber, codePage, line)) break;
      bool isHeader = FindHeader(line, header);
      if (isHeader && state == State::kCopying) {
        state = State::kDone;
      } else if (isHeader && state == State::kSearching && EqualIgnoringAsciiCase(header, target)) {
        // Never write to a stream that did not open: a missing output is a failure.
        output = files.CreateOutput(request.output);
        if (!output) return kFileFailure;
        state = State::kCopying;
        result = 0;
      } else if (state == State::kCopying) {
        if (!output->WriteLine(codePage.ToNarrow(line))) {
          output->Close();
          return kFileFailure;
        }
        if (result < std::numeric_limits<int32_t>::max()) ++result;
      }
    }
    // A read error must not pass for the end of the section.
    if (input->Failed()) {
      if (output) output->Close();
      return kFileFailure;
    }
  }

  if (output && !output->Close()) return kFileFailure;
  return result;
}

}  // namespace secpick
