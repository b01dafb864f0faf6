#include "commandline.h"

#include <cwctype>
#include <memory>

#include "platform.h"

namespace {

template <class Ch>
Ch FoldAscii(Ch c) {
  return (c >= 'a' && c <= 'z') ? static_cast<Ch>(c - 'a' + 'A') : c;
}

template <class Ch>
bool IsBlank(Ch c) {
  switch (c) {
    case ' ': case '\t': case '\n': case '\v': case '\f': case '\r':
      return true;
    default:
      break;
  }
  // The UTF-16 build also honours every other character the platform calls a space.
  if constexpr (sizeof(Ch) > 1) {
    return c > 127 && std::iswspace(static_cast<wint_t>(c));
  }
  return false;
}

template <class Ch>
bool IsPathSeparator(Ch c) {
  return c == '/' || c == ':' || c == '\\';
}

template <class Ch>
size_t Length(const Ch* text) {
  return std::char_traits<Ch>::length(text);
}

// The process-wide raw command line of one width; freed by its static holder at exit.
template <class Ch>
std::unique_ptr<std::basic_string<Ch>>& RawHolder() {
  static std::unique_ptr<std::basic_string<Ch>> raw;
  return raw;
}

}  // namespace

template <class Ch>
bool AbbrevMatchN(const Ch* text, size_t textLength, const Ch* keyword, int minLength) {
  size_t m = minLength > 0 ? static_cast<size_t>(minLength) : (textLength ? textLength : 1);
  size_t i = 0;
  for (; i < textLength; ++i) {
    if (keyword[i] == 0 || FoldAscii(text[i]) != FoldAscii(keyword[i])) return false;
  }
  return i >= m;
}

template <class Ch>
bool AbbrevMatch(const Ch* text, const Ch* keyword, int minLength) {
  return AbbrevMatchN(text, Length(text), keyword, minLength);
}

template <class Ch>
std::vector<std::basic_string<Ch>> SplitCommandLine(const Ch* text) {
  std::vector<std::basic_string<Ch>> result;
  if (!text) return result;
  const Ch* p = text;
  for (;;) {
    while (*p && IsBlank(*p)) ++p;
    if (!*p) break;
    std::basic_string<Ch> arg;
    bool inQuotes = false;
    while (*p) {
      if (*p == '\\') {
        size_t n = 0;
        while (*p == '\\') { ++n; ++p; }
        if (*p == '"') {
          arg.append(n / 2, Ch('\\'));
          if (n % 2) {
            arg.push_back('"');
            ++p;
          }
          // An even run leaves the quote for the next round, where it acts as a delimiter.
        } else {
          arg.append(n, Ch('\\'));
        }
        continue;
      }
      if (*p == '"') {
        if (inQuotes && p[1] == '"') {
          arg.push_back('"');
          p += 2;
          continue;
        }
        inQuotes = !inQuotes;
        ++p;
        continue;
      }
      if (!inQuotes && IsBlank(*p)) break;
      arg.push_back(*p++);
    }
    result.push_back(std::move(arg));
  }
  return result;
}

template <class Ch>
std::basic_string<Ch> QuoteArgument(const std::basic_string<Ch>& argument) {
  std::basic_string<Ch> out;
  out.reserve(argument.size() + 3);
  out.push_back('"');
  size_t backslashes = 0;
  for (Ch c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // Backslashes before a literal quote are doubled, and the quote itself escaped.
      out.append(backslashes * 2 + 1, Ch('\\'));
    } else {
      out.append(backslashes, Ch('\\'));
    }
    backslashes = 0;
    out.push_back(c);
  }
  // Backslashes before the closing quote are doubled so that it stays a delimiter.
  out.append(backslashes * 2, Ch('\\'));
  out.push_back('"');
  return out;
}

template <class Ch>
const Ch* ProcessRawCommandLine() {
  auto& raw = RawHolder<Ch>();
  return raw ? raw->c_str() : nullptr;
}

template <class Ch>
void ResetProcessRawCommandLine() {
  RawHolder<Ch>().reset();
}

// ---- BasicCommandLine ----

template <class Ch>
BasicCommandLine<Ch>::BasicCommandLine() {
  auto& raw = RawHolder<Ch>();
  if (!raw) {
    const Ch* platformText = client_platform::ProcessCommandLine(Ch());
    raw = std::make_unique<std::basic_string<Ch>>(platformText ? platformText : std::basic_string<Ch>());
  }
  Parse(raw->c_str());
  // Directory of argument 0: everything before its last separator, with a backslash.
  const Ch* arg0 = ArgAt(0);
  const Ch* last = nullptr;
  if (arg0) {
    for (const Ch* q = arg0; *q; ++q) {
      if (IsPathSeparator(*q)) last = q;
    }
  }
  if (last) {
    programDir_.assign(arg0, last);
    programDir_.push_back('\\');
  } else {
    programDir_ = {'.', '\\'};
  }
}

template <class Ch>
BasicCommandLine<Ch>::BasicCommandLine(const Ch* text) {
  Parse(text);
}

template <class Ch>
BasicCommandLine<Ch>::BasicCommandLine(int count, const Ch* const* args) {
  Parse(nullptr);
  external_ = true;
  externalCount_ = count > 0 && args ? count : 0;
  if (externalCount_) externalArgs_.assign(args, args + externalCount_);
  externalArgs_.push_back(nullptr);
}

template <class Ch>
BasicCommandLine<Ch>::~BasicCommandLine() = default;

template <class Ch>
void BasicCommandLine<Ch>::Parse(const Ch* text) {
  if (!args_.empty()) return;  // parsed once
  storage_ = SplitCommandLine(text);
  for (auto& s : storage_) args_.push_back(s.c_str());
  count_ = static_cast<int>(storage_.size());
  args_.push_back(nullptr);
}

template <class Ch>
int& BasicCommandLine<Ch>::ArgCount() {
  return external_ ? externalCount_ : count_;
}

template <class Ch>
const Ch* const* BasicCommandLine<Ch>::Args() {
  return external_ ? externalArgs_.data() : args_.data();
}

template <class Ch>
bool BasicCommandLine<Ch>::RemoveArg(int i) {
  int& count = ArgCount();
  if (count < 1 || i < 0 || i >= count) return false;
  std::vector<const Ch*>& list = external_ ? externalArgs_ : args_;
  list.erase(list.begin() + i);
  --count;

  std::basic_string<Ch> rebuilt;
  for (int k = 0; k < count; ++k) {
    if (k) rebuilt.push_back(' ');
    rebuilt += QuoteArgument(std::basic_string<Ch>(list[k]));
  }
  RawHolder<Ch>() = std::make_unique<std::basic_string<Ch>>(std::move(rebuilt));
  return true;
}

template <class Ch>
const Ch* BasicCommandLine<Ch>::ProgramDir() {
  return programDir_.c_str();
}

template <class Ch>
const Ch* BasicCommandLine<Ch>::ProgramName() {
  static const Ch empty[1] = {0};
  const Ch* arg0 = ArgAt(0);
  if (!arg0) return empty;
  const Ch* name = arg0;
  for (const Ch* q = arg0; *q; ++q) {
    if (IsPathSeparator(*q)) name = q + 1;
  }
  return name;
}

template <class Ch>
const Ch* BasicCommandLine<Ch>::RawCommandLine() {
  // Before any default construction there is no raw command line; callers get an empty text
  // rather than a null pointer they would pass on.
  static const Ch empty[1] = {0};
  const Ch* raw = ProcessRawCommandLine<Ch>();
  return raw ? raw : empty;
}

template <class Ch>
const Ch* BasicCommandLine<Ch>::ArgAt(int i) {
  if (i < 0 || i >= ArgCount()) return nullptr;
  return Args()[i];
}

template <class Ch>
bool BasicCommandLine<Ch>::ArgIs(int i, const Ch* keyword, int minLength) {
  const Ch* arg = ArgAt(i);
  return arg && AbbrevMatch(arg, keyword, minLength);
}

// ---- BasicCommandLineCursor ----

template <class Ch>
const Ch* BasicCommandLineCursor<Ch>::Next() {
  if (cursor_ < this->ArgCount()) ++cursor_;
  return Current();
}

template <class Ch>
const Ch* BasicCommandLineCursor<Ch>::Current() {
  return this->ArgAt(cursor_);
}

template <class Ch>
bool BasicCommandLineCursor<Ch>::RemoveCurrent() {
  return this->RemoveArg(cursor_);
}

template <class Ch>
bool BasicCommandLineCursor<Ch>::IsSwitch() {
  const Ch* arg = Current();
  return arg && (arg[0] == '-' || arg[0] == '/');
}

namespace {
// Position of the value separator of a switch: the first ':' or '=' after the switch
// character, or null.
template <class Ch>
const Ch* FindSeparator(const Ch* arg) {
  for (const Ch* q = arg + 1; *q; ++q) {
    if (*q == ':' || *q == '=') return q;
  }
  return nullptr;
}
}  // namespace

template <class Ch>
const Ch* BasicCommandLineCursor<Ch>::SwitchValue() {
  if (!IsSwitch()) return nullptr;
  const Ch* sep = FindSeparator(Current());
  return sep ? sep + 1 : nullptr;
}

template <class Ch>
bool BasicCommandLineCursor<Ch>::IsSwitchNamed(const Ch* keyword, int minLength) {
  if (!IsSwitch()) return false;
  const Ch* arg = Current();
  const Ch* sep = FindSeparator(arg);
  size_t nameLength = sep ? static_cast<size_t>(sep - (arg + 1)) : Length(arg + 1);
  return AbbrevMatchN(arg + 1, nameLength, keyword, minLength);
}

template <class Ch>
bool BasicCommandLineCursor<Ch>::CurrentIs(const Ch* keyword, int minLength) {
  const Ch* arg = Current();
  return arg && AbbrevMatch(arg, keyword, minLength);
}

template <class Ch>
const Ch* BasicCommandLineCursor<Ch>::Seek(int i) {
  cursor_ = i;
  return this->ArgAt(i);
}

template <class Ch>
const Ch* BasicCommandLineCursor<Ch>::Advance() {
  return Next();
}

template <class Ch>
const Ch* BasicCommandLineCursor<Ch>::Previous() {
  if (cursor_ > 0) --cursor_;
  return Current();
}

#define INSTANTIATE(Ch)                                                                   \
  template bool AbbrevMatch<Ch>(const Ch*, const Ch*, int);                               \
  template bool AbbrevMatchN<Ch>(const Ch*, size_t, const Ch*, int);                      \
  template std::vector<std::basic_string<Ch>> SplitCommandLine<Ch>(const Ch*);            \
  template std::basic_string<Ch> QuoteArgument<Ch>(const std::basic_string<Ch>&);         \
  template const Ch* ProcessRawCommandLine<Ch>();                                         \
  template void ResetProcessRawCommandLine<Ch>();                                         \
  template class BasicCommandLine<Ch>;                                                    \
  template class BasicCommandLineCursor<Ch>;

INSTANTIATE(char)
INSTANTIATE(wchar_t)
