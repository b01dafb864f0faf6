// printf-style formatting into a string of unbounded length.
//
// Each thread keeps one scratch buffer per character width that starts at 128 characters and
// doubles until the text fits with a margin of 10 characters (so 118 characters fit the first
// buffer and 119 grow it to 256). Buffers are reused by later calls on the same thread and all
// of them are freed at process exit.
//
// Throws std::bad_alloc when a buffer cannot be had, and std::length_error when the text cannot
// be formatted at all (the runtime reports a formatting error like a text that does not fit).
#pragma once

#include <cstdarg>
#include <string>

std::string FormatToString(const char* format, ...)
#if defined(__GNUC__) && !defined(_WIN32)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::wstring FormatToString(const wchar_t* format, ...);

std::string FormatToStringV(const char* format, va_list args);
std::wstring FormatToStringV(const wchar_t* format, va_list args);

// The calling thread's scratch size for a width (0 before its first call). For tests.
int FormatScratchSize(char);
int FormatScratchSize(wchar_t);
