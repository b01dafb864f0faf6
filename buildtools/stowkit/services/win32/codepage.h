// Text conversions of both modes. Pack mode and the texts users see (install log, boxes,
// debugger output) are 8-bit text in the ANSI code page; run mode keeps names and commands in
// UTF-8 so that no character is lost between the control file and the file system.
#pragma once

#include <string>

// UTF-16 from and to the ANSI code page (characters the code page lacks become its default
// character).
std::u16string AnsiToUtf16(const std::string& text);
std::string Utf16ToAnsi(const std::u16string& text);

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
std::string Utf8FromAnsi(const std::string& text);
// For display: UTF-8 text in the ANSI code page.
std::string AnsiFromUtf8(const std::string& text);
