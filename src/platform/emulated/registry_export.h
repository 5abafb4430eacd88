// The emulated registry as the text of a registry file.
#pragma once

#include <string>

#include "platform/emulated/registry_store.h"

namespace emu {

// Every key under HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_USERS, sorted,
// as a "Windows Registry Editor Version 5.00" file with CRLF line ends.
std::string exportRegistry(Registry &registry);

} // namespace emu
