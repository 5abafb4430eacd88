#include "registry_path.h"

#include "host_error.h"

namespace host {

HKEY splitRoot(const std::string &path, std::string &rest) {
    const auto slash = path.find('\\');
    const std::string root = path.substr(0, slash);
    rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    if (root == "HKLM" || root == "HKEY_LOCAL_MACHINE") {
        return HKEY_LOCAL_MACHINE;
    }
    if (root == "HKCU" || root == "HKEY_CURRENT_USER") {
        return HKEY_CURRENT_USER;
    }
    if (root == "HKU" || root == "HKEY_USERS") {
        return HKEY_USERS;
    }
    throw UsageError("not a registry root: " + root + " (HKLM, HKCU or HKU)");
}

} // namespace host
