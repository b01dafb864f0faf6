// Files named by paths of any length. The file functions stop at 260 characters unless a path
// is given to the wide functions in its extended-length form.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

// The form of a wide path to give the wide file functions: the path itself when it and the full
// path it stands for fit the plain form, else the extended-length form of its full path (the
// path itself when it has none, so that the call gives the error it always gave).
std::wstring CallablePath(const std::wstring& path);

// Whether the path, and the full path it stands for, fit the plain form of the file functions.
bool IsPlainLengthPath(const std::string& path);

// The extended-length form of the full path (relative paths taken from the current directory),
// converted through the ANSI code page. Empty when the path has no such form.
std::wstring ExtendedPath(const std::string& path);

// fopen, CreateFile, GetFileAttributes, GetFileAttributesEx, MoveFileEx and DeleteFile for ANSI
// paths of any length, through the wide functions (see CallablePath).
FILE* OpenFileAnyLength(const std::string& path, const char* mode);
HANDLE CreateFileAnyLength(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                           DWORD flags);
DWORD FileAttributesAnyLength(const std::string& path);
BOOL FileAttributesExAnyLength(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data);
BOOL MoveFileAnyLength(const std::string& from, const std::string& to, DWORD flags);
BOOL DeleteFileAnyLength(const std::string& path);
