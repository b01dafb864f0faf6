// Command-line parser shared by stowkitwin (8-bit) and secpick (UTF-16).
//
// Splits a command-line text with the usual Windows rules (quotes, backslash runs before a
// quote), recognises switches ("-" or "/"), matches switch names by abbreviation and splits a
// switch from its value (after ":" or "="). Removing an argument also rewrites the process-wide
// raw command line, so every parser object created later, and every later reader of that text
// (the kit hands it to its installer), no longer sees the argument.
#pragma once

#include <string>
#include <vector>

#include "clientchar.h"

// True when text is a case-insensitive (ASCII letters) prefix of keyword, at least minLength
// characters long. minLength 0 means "the whole text" (1 for an empty text), so an empty text
// never matches and a keyword shorter than minLength never matches.
template <class Ch>
bool AbbrevMatch(const Ch* text, const Ch* keyword, int minLength);

// The same, for the first textLength characters of text.
template <class Ch>
bool AbbrevMatchN(const Ch* text, size_t textLength, const Ch* keyword, int minLength);

// Splits text into arguments. Exposed for tests and fuzzing; the parser objects use it.
template <class Ch>
std::vector<std::basic_string<Ch>> SplitCommandLine(const Ch* text);

// Writes one argument so that SplitCommandLine gives it back unchanged: in double quotes,
// backslashes before a quote (or before the closing quote) doubled, embedded quotes escaped.
// An argument without quotes or trailing backslashes comes out as "argument".
template <class Ch>
std::basic_string<Ch> QuoteArgument(const std::basic_string<Ch>& argument);

// The process-wide raw command line: absent until the first default-constructed parser fills
// it from the platform, replaced by every RemoveArg. Null while absent.
template <class Ch>
const Ch* ProcessRawCommandLine();

// Forgets the process-wide raw command line, so the next default construction reads the
// platform's command line again. For tests only.
template <class Ch>
void ResetProcessRawCommandLine();

template <class Ch>
class BasicCommandLine {
 public:
  // Parses the process-wide raw command line (filling it from the platform first if absent)
  // and computes the program directory.
  BasicCommandLine();
  // Parses the given text; the raw command line is neither read nor changed.
  explicit BasicCommandLine(const Ch* text);
  // Works on the caller's argument array (the texts stay the caller's).
  BasicCommandLine(int count, const Ch* const* args);
  virtual ~BasicCommandLine();

  BasicCommandLine(const BasicCommandLine&) = delete;
  BasicCommandLine& operator=(const BasicCommandLine&) = delete;

  virtual int& ArgCount();
  virtual const Ch* const* Args();
  // Removes argument i and rebuilds the process-wide raw command line from the remaining ones.
  // False when the list is empty or i is outside 0 .. count-1.
  virtual bool RemoveArg(int i);
  // Directory of argument 0 with a trailing backslash, or ".\" (default construction only).
  virtual const Ch* ProgramDir();
  // Argument 0 after its last '/', ':' or '\'; empty when there is no argument 0.
  virtual const Ch* ProgramName();
  // The process-wide raw command line (empty before any default construction filled it).
  virtual const Ch* RawCommandLine();
  // Argument i, or null when i is out of range.
  virtual const Ch* ArgAt(int i);
  virtual bool ArgIs(int i, const Ch* keyword, int minLength);

 private:
  void Parse(const Ch* text);

  int count_ = 0;
  std::vector<std::basic_string<Ch>> storage_;
  std::vector<const Ch*> args_;  // null-terminated
  std::basic_string<Ch> programDir_;
  bool external_ = false;
  int externalCount_ = 0;
  std::vector<const Ch*> externalArgs_;  // null-terminated
};

template <class Ch>
class BasicCommandLineCursor : public BasicCommandLine<Ch> {
 public:
  using BasicCommandLine<Ch>::BasicCommandLine;

  // Moves to the next argument (at most to the count) and returns it, or null.
  virtual const Ch* Next();
  virtual const Ch* Current();
  // Removes the current argument; the cursor then designates the one that followed.
  virtual bool RemoveCurrent();
  virtual bool IsSwitch();
  // The text after the first ':' or '=' of the current switch; null when not a switch or
  // without a separator; may be empty.
  virtual const Ch* SwitchValue();
  // The switch name (after the switch character, before the separator) abbreviates keyword.
  virtual bool IsSwitchNamed(const Ch* keyword, int minLength);
  // The whole current argument abbreviates keyword; false without a current argument.
  virtual bool CurrentIs(const Ch* keyword, int minLength);
  virtual const Ch* Seek(int i);
  virtual const Ch* Advance();
  virtual const Ch* Previous();
  int Position() const { return cursor_; }

 private:
  int cursor_ = 0;
};

using CommandLine = BasicCommandLine<ClientChar>;
using CommandLineCursor = BasicCommandLineCursor<ClientChar>;
