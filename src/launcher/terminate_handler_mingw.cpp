// GCC's default terminate handler writes the demangled type of the uncaught
// exception to stderr, which a GUI program does not have, and brings the
// demangler and the C library's formatted output with it, about 60 KB of the
// static executable. Defining it here keeps libstdc++'s copy out of the link;
// std::terminate still ends the process through abort. Built only with MinGW.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
