// Character width of a program built on the shared client library.
//
// The library is written once, as templates over the character type, and instantiated for
// both widths. A program chooses its width at build time: stowkitwin uses 8-bit ANSI text,
// secpick defines CLIENT_WIDE and uses UTF-16 (wchar_t on Windows).
#pragma once

#include <string>

#ifdef CLIENT_WIDE
using ClientChar = wchar_t;
#define CLIENT_TEXT(s) L##s
#else
using ClientChar = char;
#define CLIENT_TEXT(s) s
#endif

using ClientString = std::basic_string<ClientChar>;
