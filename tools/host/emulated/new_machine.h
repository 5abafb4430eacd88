// machine new: a machine folder made from the built-in default.
#pragma once

#include <string>

#include "emulator/installation/windows_editions.h"

namespace host {

// The version machine new asks for; an unknown name is refused with the
// known ones (UsageError).
const emu::WindowsEdition &editionOf(const std::string &windows);

// Whether the machine is the 64-bit edition: as arch asks ("x86" or "x64"),
// by default (empty) the 32-bit one where there was one. An edition that
// never existed is refused with the reason (UsageError).
bool is64Bit(const emu::WindowsEdition &edition, const std::string &arch);

// Creates a machine folder from the built-in default (an installed Windows of
// the given name, 64-bit when arch is "x64" (empty: the version's default),
// with its usual registry, drives and shell folders; with
// withProductRunning, an installed Quillane whose programs and services run)
// and makes it the current machine. Refuses a folder that exists and is not
// empty. Interrupted, it leaves the folder as it was or a whole machine.
void createMachine(const std::string &folder, const std::string &windows, const std::string &arch,
                   unsigned codePage, bool withProductRunning);

} // namespace host
