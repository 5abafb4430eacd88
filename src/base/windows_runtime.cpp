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
//
// The stack protector's guard and its two failure paths are defined here as
// well, in place of those of GCC's libssp: libssp makes its guard in a
// constructor that calls CryptAcquireContext, which loads the cryptographic
// provider's DLL while the loader lock is held (a library loaded from
// DllMain can deadlock the process) and made each load of the DLL some five
// times slower under Wine. A failed check ends the process at once.
#include <bits/functexcept.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "platform/kernel.h"
#include "platform/system_time.h"

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

extern "C" {

// The canary GCC's checks compare with. Until the load sets it, a fixed
// value with a zero byte, a line feed and 0xFF, which string copies stop at.
std::uintptr_t __stack_chk_guard = 0xFF0A0000U;

// A canary or a fortified copy found the stack or a buffer overrun.
[[noreturn]] void __stack_chk_fail() { std::abort(); }
[[noreturn]] void __chk_fail() { std::abort(); }

} // extern "C"

namespace {

// Sets the guard when the DLL loads, before any other constructor runs and
// so before a protected function can be on the stack, from what differs at
// each load, as Microsoft's compilers make their cookie: the clock, the
// processor's time-stamp counter and the addresses ASLR chose for the stack
// and the image. It calls nothing that loads a library.
__attribute__((constructor(101), no_stack_protector)) void setStackGuard() {
    FILETIME now{};
    win::GetSystemTimeAsFileTime(&now);
    const std::uint64_t cycles = __builtin_ia32_rdtsc();
    int onStack = 0;
    std::uintptr_t guard = now.dwLowDateTime ^ now.dwHighDateTime ^ win::GetTickCount() ^
                           static_cast<std::uintptr_t>(cycles) ^
                           static_cast<std::uintptr_t>(cycles >> 32) ^
                           reinterpret_cast<std::uintptr_t>(&onStack) ^
                           reinterpret_cast<std::uintptr_t>(&__stack_chk_guard);
    if (guard == 0) {
        guard = 0xFF0A0000U;
    }
    __stack_chk_guard = guard;
}

} // namespace
