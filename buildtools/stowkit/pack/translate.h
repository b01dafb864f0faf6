// Keyword substitution and octal character constants: the translation that turns a steering
// file into a kit's control file, and that each member's source path and each -verinfo value
// go through.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace pack {

// Key text ("<KEYWORD>" or "[KEYWORD]", upper case) to replacement text, in byte-wise
// ascending key order, so every angle-bracket form is applied before every square one.
using KeywordTable = std::map<std::string, std::string>;

// Adds (or replaces) both bracket forms of keyword with value, exactly as given.
void DefineKeyword(KeywordTable& table, const std::string& keyword, const std::string& value);

enum class TranslateStatus {
  kOk,
  kCircular,   // one key replaced more than 100 times
  kBadOctal,   // a malformed "\0" constant, or more than 100 of them
};

// Replaces every keyword, then decodes every "\0ooo" constant (always five characters, the
// character's code being the number's low 8 bits, nothing for 0). Each search starts again at
// the beginning of the text, so replacement text is searched too. On failure out is undefined.
TranslateStatus TranslateText(const std::string& text, const KeywordTable& table,
                              std::string& out);

// The same for a UTF-16 steering file, so that characters outside the ANSI code page survive:
// keywords, values and the character of a constant's code are the ANSI texts converted by
// fromAnsi; a constant is five characters, whatever their size.
TranslateStatus TranslateUtf16Text(const std::u16string& text, const KeywordTable& table,
                                   const std::function<std::u16string(const std::string&)>& fromAnsi,
                                   std::u16string& out);

// The text reported for a failed translation, and the exit status it ends the process with.
const char* TranslateFailureText(TranslateStatus status);
int TranslateFailureExitStatus(TranslateStatus status);

// Upper-cases ASCII letters only (bytes above 127 are left as the code page has them).
std::string UpperAscii(std::string text);

}  // namespace pack
