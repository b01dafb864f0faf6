// Linked into every shipped Windows program as an object of its own (not from a library), so
// that its definitions are in place before the linker searches the runtime libraries. Each one
// keeps a large piece of the runtime out of the image; a kit is a copy of stowkitwin, so every
// byte here is paid in every kit.
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

// The runtime's default terminate handler names the exception's type, and to do so links in
// the C++ demangler (about 50 KB). A GUI program has no console to print the name on; ending
// the same way without it (abort, status 3) is all that is left.
namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx

// The two members of std::string that the library's exception classes use beside those its
// users instantiate (see stringinstances.h).
template void std::string::_M_assign(const std::string&);
template std::string::pointer std::string::_M_create(size_type&, size_type);

// mingw routes the C99 formatted input and output of C++ code (libstdc++ asks for it) and of
// zlib to its own engines, which bring their floating-point conversions (about 70 KB together).
// Nothing here formats or reads a floating-point number: zlib's gz functions print error text
// ("%s%s%s"), the profile reader scans integers ("%d", "%x", "%o", "%c"). The C runtime's
// functions do that job; these give them the C99 entry points.

// C99 contract: the full length as the result, the output always terminated.
extern "C" int __cdecl __mingw_vsnprintf(char* buffer, size_t size, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int length = _vscprintf(format, copy);
  va_end(copy);
  if (size > 0) {
    _vsnprintf(buffer, size, format, args);
    buffer[size - 1 < static_cast<size_t>(length) ? size - 1 : static_cast<size_t>(length)] = 0;
  }
  return length;
}

extern "C" int __cdecl __ms_vsscanf(const char* input, const char* format, va_list args);
extern "C" int __cdecl __mingw_vsscanf(const char* input, const char* format, va_list args) {
  return __ms_vsscanf(input, format, args);
}
