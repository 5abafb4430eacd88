// The emulated registry as the text of a registry file.
#pragma once

#include <string>

#include "emulator/registry/registry_store.h"

namespace emu {

// Every key under HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_USERS, sorted,
// as a "REGEDIT4" file with CRLF line ends that parseRegFile, told it holds a
// machine's state, reads back into the same keys, names, types and bytes.
std::string exportRegistry(Registry &registry);

} // namespace emu
