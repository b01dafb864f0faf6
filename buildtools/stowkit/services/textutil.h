// Text helpers both modes use to cut up steering-file and control-file values.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Strips every character with code 1 to 32 (control characters and blank) from both ends.
// Characters above 127 stay.
std::string TrimBlanks(const std::string& text);

// Cuts text at every occurrence of any character of separators: consecutive separators give
// empty fields, a trailing separator a last empty field; an empty text gives no field.
std::vector<std::string> SplitText(const std::string& separators, const std::string& text);

// The text of a steering file or a control file is UTF-16 little-endian when it starts with
// FF FE and its fourth byte is 0 (bytes beyond size read as 0, as after a whole-file read);
// otherwise it is 8-bit text. A mark followed by a character above U+00FF therefore reads as
// 8-bit text.
bool IsUtf16Text(const unsigned char* data, size_t size);

// The UTF-16 text after the mark, up to the first zero unit; an odd last byte is a unit of its
// own (its high byte reads as 0).
std::u16string Utf16TextAfterMark(const unsigned char* data, size_t size);

// UTF-16 text as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8FromUtf16(const std::u16string& text);
// UTF-8 text as UTF-16; a malformed sequence becomes U+FFFD.
std::u16string Utf16FromUtf8(const std::string& text);
// How many UTF-16 units the UTF-8 text takes: the length the kit's limits count in.
size_t Utf16Length(const std::string& utf8);

// Whether two UTF-16 names are equal when ASCII letters are compared without regard to case
// (other letters must match exactly), as resource and profile names are compared.
bool SameAsciiCaseless(const std::u16string& a, const std::u16string& b);
