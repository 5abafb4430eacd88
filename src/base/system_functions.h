// Entry points found by name at run time: the sibling libraries' and the
// functions of the system's own kernel32.dll that not every Windows the
// library supports (Windows 95 to 11) has. Such a function is never imported,
// so that the DLL still loads on a Windows without it.
#pragma once

#include "platform/libraries.h"
#include "platform/processes.h"

namespace system_functions {

// An entry point of a loaded module as the function type Function; null when
// it has none of that name.
template <class Function> Function EntryPoint(HMODULE module, const char *name) {
    // Through void (*)(), the function type that converts to any other.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(win::GetProcAddress(module, name)));
}

// A function of kernel32.dll of the type Function (decltype of the seam's
// function of that name); null on a Windows that lacks it.
template <class Function> Function Optional(const char *name) {
    const HMODULE kernel = win::GetModuleHandleA("kernel32.dll");
    return kernel != nullptr ? EntryPoint<Function>(kernel, name) : nullptr;
}

} // namespace system_functions
