#include "registry_path.h"

#include <algorithm>
#include <iterator>

#include "emulator/registry/root_names.h"
#include "host_error.h"

namespace host {

KeyName splitKey(const std::string &key) {
    const auto slash = key.find('\\');
    std::string root = key.substr(0, slash);
    KeyName name;
    name.path = slash == std::string::npos ? std::string() : key.substr(slash + 1);
    name.view64 = root.size() > 2 && root.compare(root.size() - 2, 2, "64") == 0;
    if (name.view64) {
        root.resize(root.size() - 2);
    }
    const auto known = std::find_if(
        std::begin(emu::kRootNames), std::end(emu::kRootNames), [&root](const emu::RootName &n) {
            return n.root != HKEY_CLASSES_ROOT && (root == n.shortName || root == n.longName);
        });
    if (known == std::end(emu::kRootNames)) {
        throw UsageError("not a registry root: " + key.substr(0, slash) +
                         " (HKLM, HKCU or HKU; HKLM64, HKCU64 or HKU64 for the 64-bit view)");
    }
    name.root = known->root;
    return name;
}

const char *rootName(HKEY root) { return emu::findRootName(root)->shortName; }

HKEY splitRoot(const std::string &path, std::string &rest) {
    const KeyName name = splitKey(path);
    rest = name.path;
    return name.root;
}

} // namespace host
