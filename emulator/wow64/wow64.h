// WOW64 on the emulated machine: how the 32-bit library sees a 64-bit
// Windows. Every rule of it lives in this room, one list per kind: the file
// system's redirection (here), the registry's views (registry_views.h), and
// the environment a 32-bit process is given (here). The other parts of the
// machine ask these functions and never test the architecture themselves.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace emu {

// Whether the library runs under WOW64: the machine is a 64-bit Windows.
bool underWow64();

// The path parts below a drive's root as the 32-bit library's file system
// redirects them: under WOW64 the Windows folder's System32 is SysWOW64, but
// for the folders it shares (Microsoft's "File System Redirector", Windows 7
// and later), and Sysnative is the real System32. Left alone otherwise.
void redirectSystemFolder(char drive, std::vector<std::string> &parts);

// The 32-bit programs' system folder under WOW64 (the Windows folder's
// SysWOW64); "" on a 32-bit machine.
std::string wow64SystemFolder();

// The environment variables a 32-bit process is given on a 64-bit Windows,
// over those of a 64-bit one: its Program Files folders and processor;
// programW6432 adds the 64-bit programs' folders (Windows 7 and later).
std::vector<std::pair<std::string, std::string>> wow64Environment(bool programW6432);

} // namespace emu
