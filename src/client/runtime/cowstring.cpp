// The members of the old (reference-counted) std::string that the library's standard exception
// classes keep their message in. With these here, the library's object that instantiates the
// whole of that string (and std::random_device with it) is not linked.
// Built with _GLIBCXX_USE_CXX11_ABI=0 (see cmake/StowkitWin32.cmake), where std::string names
// that string.
#include <string>

static_assert(!_GLIBCXX_USE_CXX11_ABI, "this source instantiates the old std::string");

template std::string::_Rep* std::string::_Rep::_S_create(size_type, size_type, const allocator_type&);
template void std::string::_Rep::_M_destroy(const allocator_type&);
template void std::string::_Rep::_M_dispose(const allocator_type&);
template char* std::string::_Rep::_M_clone(const allocator_type&, size_type);
template char* std::string::_S_construct(size_type, char, const allocator_type&);
template void std::string::swap(std::string&);
template std::string& std::string::assign(const std::string&);
