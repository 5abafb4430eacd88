// The product's sibling libraries, installed beside it: Rezedev.dll
// configures the services that depend on the product's service, and
// ZepProj.dll, which needs Rezedev.dll loaded first, sets up the
// write-monitor paths. This library loads them from the folder the
// installer names and calls one entry point of each.
#pragma once

#include <string>

#include "platform/processes.h"

namespace apps {

constexpr const char *kServicesLibrary = "Rezedev.dll";
constexpr const char *kWriteMonitorLibrary = "ZepProj.dll";

// Loads a sibling library from its path (paths::join of the folder and its
// name); null when it cannot be loaded. It is never freed: it stays loaded
// for the rest of the installer's process.
inline HMODULE LoadSiblingLibrary(const std::string &path) {
    return win::LoadLibraryA(path.c_str());
}

// An entry point of a loaded sibling library as the function type Entry
// (they are called as this library's exports are); null when it has none of
// that name.
template <class Entry> Entry SiblingEntryPoint(HMODULE library, const char *name) {
    // Through void (*)(), the function type that converts to any other.
    return reinterpret_cast<Entry>(
        reinterpret_cast<void (*)()>(win::GetProcAddress(library, name)));
}

} // namespace apps
