#include "emulator/registry/machine_registry.h"

#include "emulator/wow64/registry_views.h"

namespace emu {

std::vector<std::string> subkeyNames(HKEY root, const std::string &path, bool view32) {
    const auto key = registry().find(root, storedKeyPath(root, path, view32));
    std::vector<std::string> names;
    if (!key) {
        return names;
    }
    for (const auto &[name, subkey] : key->subkeys) {
        if (!hiddenInView(subkey->name, view32)) {
            names.push_back(subkey->name);
        }
    }
    return names;
}

} // namespace emu
