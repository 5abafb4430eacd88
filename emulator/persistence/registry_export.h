// The emulated registry as the text of a registry file.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "emulator/registry/registry_store.h"

namespace emu {

// Every key under HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_USERS, sorted,
// as a "REGEDIT4" file with CRLF line ends that parseRegFile, told it holds a
// machine's state, reads back into the same keys, names, types and bytes.
std::string exportRegistry(Registry &registry);

// Keys and every key below them, each with its full path
// ("HKEY_LOCAL_MACHINE\SOFTWARE\..."), as a "REGEDIT4" file in the machine's
// code page that the system's registry editor imports: every name plainly,
// as no registry editor reads the hex form of names; a root is written only
// for the values set on it. Throws MachineError naming the first key or value
// whose name no plain line can carry (one holding a line break or ending
// inside a double-byte character).
std::string exportRegistryKeys(const std::vector<std::pair<const RegKey *, std::string>> &keys);

} // namespace emu
