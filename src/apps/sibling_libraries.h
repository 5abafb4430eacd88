// The product's sibling libraries, installed beside it: Rezedev.dll
// configures the services that depend on the product's service, and
// ZepProj.dll, which needs Rezedev.dll loaded first, sets up the
// write-monitor paths. This library loads them from the folder the
// installer names and calls one entry point of each.
#pragma once

#include <string>

#include "base/system_functions.h"
#include "platform/libraries.h"

namespace apps {

constexpr const char *kServicesLibrary = "Rezedev.dll";
constexpr const char *kWriteMonitorLibrary = "ZepProj.dll";

// How a sibling library is loaded: its own imports come from its folder and
// the system's, never from the installer program's folder or the current
// folder, where a user could put a library of an imported name to run with
// the installer's rights. Where kernel32.dll has AddDllDirectory (Windows 8
// and later, Windows 7 and Vista with its update) the safe search flags say
// exactly that; older systems take the library's folder in place of the
// program's (LOAD_WITH_ALTERED_SEARCH_PATH), which they have since Windows
// 95 and NT 3.1.
inline DWORD SiblingLoadFlags() {
    // Only whether kernel32.dll has it is asked; it is never called.
    using AddDllDirectory = void *(*)();
    return system_functions::Optional<AddDllDirectory>("AddDllDirectory") != nullptr
               ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
               : LOAD_WITH_ALTERED_SEARCH_PATH;
}

// Loads a sibling library from its path (paths::join of the folder and its
// name); null when it cannot be loaded. It is never freed: it stays loaded
// for the rest of the installer's process.
inline HMODULE LoadSiblingLibrary(const std::string &path) {
    return win::LoadLibraryExA(path.c_str(), nullptr, SiblingLoadFlags());
}

// An entry point of a loaded sibling library as the function type Entry
// (they are called as this library's exports are); null when it has none of
// that name.
template <class Entry> Entry SiblingEntryPoint(HMODULE library, const char *name) {
    return system_functions::EntryPoint<Entry>(library, name);
}

} // namespace apps
