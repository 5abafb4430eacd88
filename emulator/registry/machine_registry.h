// The registry of the emulated machine: the store its functions act on, and
// what the control interface reads of it as a view shows it.
#pragma once

#include <string>
#include <vector>

#include "emulator/registry/registry_store.h"
#include "platform/types.h"

namespace emu {

// The current machine's registry.
Registry &registry();

// The names of a key's subkeys as a view enumerates them, in the
// registry's order (registry_views.h says which a view hides). Empty when
// the key is absent.
std::vector<std::string> subkeyNames(HKEY root, const std::string &path, bool view32);

} // namespace emu
