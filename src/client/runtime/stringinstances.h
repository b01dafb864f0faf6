// Force-included into every C++ source of the Windows builds (see CMakeLists.txt).
//
// libstdc++ declares the members of std::string and std::wstring as instantiated in the
// library, so a program that uses a few of them links the library's objects that hold all of
// them, and with those the old reference-counted string and std::random_device (about 100 KB
// with their unwind tables, in every kit). -1 is libstdc++'s own setting for "no extern
// templates for basic_string" (which _GLIBCXX_ASSERTIONS otherwise selects): each source then
// instantiates only the members it uses. leanruntime.cpp and cowstring.cpp provide the few
// members that the library's exception classes use.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
