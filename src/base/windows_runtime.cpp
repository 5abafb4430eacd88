// The C++ runtime's failure paths in RADOZAVU.DLL.
//
// The DLL is built without C++ exceptions. Nothing in the library catches
// one, and none may leave an export: the installer's own frames carry no
// unwind information, so any throw inside an export already ended in
// std::terminate. These definitions take the place of the runtime's
// throwing allocator and of the functions through which the standard
// containers report a failure; with them the DLL links neither the
// exception runtime nor the unwinder, threads library and name demangler it
// drags in (some 200 KiB of the DLL). A failure still ends the process at
// once, as the uncaught exception did.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

void *operator new(std::size_t size) {
    // A zero-byte request still gets a pointer of its own.
    if (void *memory = std::malloc(size != 0 ? size : 1)) {
        return memory;
    }
    std::abort();
}

void operator delete(void *memory) noexcept { std::free(memory); }
void operator delete(void *memory, std::size_t /*size*/) noexcept { std::free(memory); }

namespace std {

void __throw_bad_exception() { std::abort(); }
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_bad_cast() { std::abort(); }
void __throw_bad_typeid() { std::abort(); }
void __throw_bad_function_call() { std::abort(); }
void __throw_logic_error(const char * /*what*/) { std::abort(); }
void __throw_domain_error(const char * /*what*/) { std::abort(); }
void __throw_invalid_argument(const char * /*what*/) { std::abort(); }
void __throw_length_error(const char * /*what*/) { std::abort(); }
void __throw_out_of_range(const char * /*what*/) { std::abort(); }
void __throw_out_of_range_fmt(const char * /*format*/, ...) { std::abort(); }
void __throw_runtime_error(const char * /*what*/) { std::abort(); }
void __throw_range_error(const char * /*what*/) { std::abort(); }
void __throw_overflow_error(const char * /*what*/) { std::abort(); }
void __throw_underflow_error(const char * /*what*/) { std::abort(); }
void __throw_system_error(int /*code*/) { std::abort(); }

} // namespace std
