// Path forms of the Win32 file functions, as plain string rules so they can be tested anywhere.
#pragma once

#include <string>

// Characters a plain (not extended-length) path may have, its terminator not counted; the
// system refuses longer ones.
constexpr size_t kPlainPathMaxChars = 259;

// The extended-length form of a full path as GetFullPathNameW returns it, which the wide file
// functions take at any length: "C:\dir\f" -> "\\?\C:\dir\f", "\\server\share\f" ->
// "\\?\UNC\server\share\f", and a path already in "\\?\" form unchanged. '/' becomes '\', as
// the extended form is used as it stands. Empty for any other form (relative, rooted without a
// drive, "\\.\" device paths, a server without a share): the prefix would change its meaning.
std::wstring ExtendedLengthForm(const std::wstring& fullPath);
