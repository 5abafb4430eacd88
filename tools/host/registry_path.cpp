#include "registry_path.h"

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
    if (root == "HKLM" || root == "HKEY_LOCAL_MACHINE") {
        name.root = HKEY_LOCAL_MACHINE;
    } else if (root == "HKCU" || root == "HKEY_CURRENT_USER") {
        name.root = HKEY_CURRENT_USER;
    } else if (root == "HKU" || root == "HKEY_USERS") {
        name.root = HKEY_USERS;
    } else {
        throw UsageError("not a registry root: " + key.substr(0, slash) +
                         " (HKLM, HKCU or HKU; HKLM64, HKCU64 or HKU64 for the 64-bit view)");
    }
    return name;
}

const char *rootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) {
        return "HKLM";
    }
    return root == HKEY_CURRENT_USER ? "HKCU" : "HKU";
}

HKEY splitRoot(const std::string &path, std::string &rest) {
    const KeyName name = splitKey(path);
    rest = name.path;
    return name.root;
}

} // namespace host
