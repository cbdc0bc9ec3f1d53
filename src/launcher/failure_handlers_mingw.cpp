// What the C++ runtime does when it cannot go on: out of memory, a string
// grown past its maximum, an empty std::function called. The launcher catches
// no exception, so each of these ended the process through std::terminate and
// abort anyway; ending it here directly keeps libstdc++'s exception objects,
// its copy-on-write strings behind them, the unwinder and the thread library
// they lock with out of the static executable (about 90 KB). Built only with
// MinGW, whose libstdc++ defines these functions in archive members that the
// linker then never needs.
#include <cstdlib>
#include <new>

namespace __gnu_cxx {

// GCC's default handler writes the demangled type of the uncaught exception
// to stderr, which a GUI program does not have, and brings the demangler and
// the C library's formatted output with it.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

namespace std {

// The whole set libstdc++ keeps in one archive member: defining only some
// would pull that member in for the others and clash with these.
void __throw_bad_exception() { std::abort(); }
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_bad_cast() { std::abort(); }
void __throw_bad_typeid() { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_domain_error(const char*) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_runtime_error(const char*) { std::abort(); }
void __throw_range_error(const char*) { std::abort(); }
void __throw_overflow_error(const char*) { std::abort(); }
void __throw_underflow_error(const char*) { std::abort(); }
void __throw_bad_function_call() { std::abort(); }

}  // namespace std

// The replaceable allocation functions, so that the library's, which throw
// std::bad_alloc, stay out.
void* operator new(std::size_t size) {
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) std::abort();
    return block;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
