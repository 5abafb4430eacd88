// The emulated registry as the text of a registry file.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "emulator/registry/registry_store.h"

namespace emu {

// Where exportRegistry wrote a key's line: its offset in the text, how deep
// the key lies below its root (0: the root's own line) and which root
// (0 HKEY_LOCAL_MACHINE, 1 HKEY_CURRENT_USER, 2 HKEY_USERS).
struct KeyLine {
    std::size_t offset = 0;
    std::size_t depth = 0;
    int root = 0;
};

// Every key under HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_USERS, sorted,
// as a "REGEDIT4" file with CRLF line ends that parseRegFile, told it holds a
// machine's state, reads back into the same keys, names, types and bytes;
// with where each key's line lies, when lines is given (for its index,
// registry_base.h).
std::string exportRegistry(Registry &registry, std::vector<KeyLine> *lines = nullptr);

// Appends an edit of the registry as the lines of a machine's registry file
// that make it again (nothing for a key no longer in the registry).
void writeEdit(const RegistryEdit &edit, std::string &out);

// Keys and every key below them, each with its full path
// ("HKEY_LOCAL_MACHINE\SOFTWARE\..."), as a "REGEDIT4" file in the machine's
// code page that the system's registry editor imports: every name plainly,
// as no registry editor reads the hex form of names; a root is written only
// for the values set on it. Throws MachineError naming the first key or value
// whose name no plain line can carry (one holding a line break or ending
// inside a double-byte character).
std::string exportRegistryKeys(const std::vector<std::pair<const RegKey *, std::string>> &keys);

} // namespace emu
