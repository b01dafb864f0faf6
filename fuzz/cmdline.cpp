// Fuzzes the command-line splitter, argument quoting and abbreviation matching in both widths.
//
// The input is read two ways: as a command-line text, and as an argument list (pieces between
// NUL characters). Checked: any argument list survives quoting, splitting, removal and
// reparsing unchanged; splitting a rebuilt line gives back what was split; AbbrevMatch agrees
// with a plain reference; switch handling never changes the argument text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "commandline.h"

namespace {

template <class Ch>
using Str = std::basic_string<Ch>;

template <class Ch>
void Check(bool ok) {
  if (!ok) std::abort();
}

template <class Ch>
Str<Ch> Join(const std::vector<Str<Ch>>& args) {
  Str<Ch> line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) line.push_back(' ');
    line += QuoteArgument(args[i]);
  }
  return line;
}

template <class Ch>
std::vector<Str<Ch>> Pieces(const Str<Ch>& data) {
  std::vector<Str<Ch>> out(1);
  for (Ch c : data) {
    if (c == 0) {
      out.emplace_back();
    } else {
      out.back().push_back(c);
    }
  }
  return out;
}

template <class Ch>
Ch Upper(Ch c) {
  return (c >= 'a' && c <= 'z') ? static_cast<Ch>(c - 32) : c;
}

template <class Ch>
bool ReferenceAbbrev(const Str<Ch>& text, const Str<Ch>& keyword, int m) {
  size_t need = m > 0 ? static_cast<size_t>(m) : (text.empty() ? 1 : text.size());
  if (text.size() > keyword.size() || text.size() < need) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != Upper(keyword[i])) return false;
  }
  return true;
}

template <class Ch>
void Run(const Str<Ch>& data) {
  // 1. The text as a command line.
  std::vector<Str<Ch>> split = SplitCommandLine(data.c_str());
  for (const auto& arg : split) Check<Ch>(arg.find(Ch(0)) == Str<Ch>::npos);
  Check<Ch>(SplitCommandLine(Join(split).c_str()) == split);

  // 2. The pieces as an argument list, through quoting and through a parser's removal.
  std::vector<Str<Ch>> args = Pieces(data);
  Str<Ch> line = Join(args);
  Check<Ch>(SplitCommandLine(line.c_str()) == args);

  ResetProcessRawCommandLine<Ch>();
  Str<Ch> withProgram = Str<Ch>(1, Ch('p')) + Str<Ch>(1, Ch(' ')) + line;
  BasicCommandLineCursor<Ch> first(withProgram.c_str());
  Check<Ch>(first.ArgCount() == static_cast<int>(args.size()) + 1);
  Check<Ch>(first.RemoveArg(0));
  BasicCommandLineCursor<Ch> reparsed;
  Check<Ch>(reparsed.ArgCount() == static_cast<int>(args.size()));
  for (int i = 0; i < reparsed.ArgCount(); ++i) Check<Ch>(args[i] == reparsed.ArgAt(i));

  // 3. Switches: the name comparison leaves the text as it was; the value lies inside it.
  while (const Ch* current = reparsed.Next()) {
    Str<Ch> before = current;
    bool named = reparsed.IsSwitchNamed(args.back().c_str(), static_cast<int>(before.size() % 4));
    Check<Ch>(before == reparsed.Current());
    const Ch* value = reparsed.SwitchValue();
    if (value) Check<Ch>(value > current && value <= current + before.size());
    if (named) Check<Ch>(reparsed.IsSwitch());
  }
  ResetProcessRawCommandLine<Ch>();

  // 4. Abbreviations against a reference, for pairs of pieces.
  for (size_t i = 0; i + 1 < args.size() && i < 8; ++i) {
    for (int m = 0; m < 4; ++m) {
      Check<Ch>(AbbrevMatch(args[i].c_str(), args[i + 1].c_str(), m) ==
                ReferenceAbbrev(args[i], args[i + 1], m));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Run(Str<char>(reinterpret_cast<const char*>(data), size));
  Str<wchar_t> wide;
  for (size_t i = 0; i + 1 < size; i += 2) wide.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
  Run(wide);
  return 0;
}
