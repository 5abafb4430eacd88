// The registry functions of the emulated machine, with Windows' access rules,
// error codes, size conventions and size limits, and on a 64-bit machine the
// views of WOW64 (KEY_WOW64_64KEY, KEY_WOW64_32KEY; wow64/registry_views.h).
#include <cstring>

#include "emulator/registry/machine_registry.h"

#include "emulator/faults.h"
#include "emulator/text.h"
#include "emulator/wow64/registry_views.h"
#include "emulator/wow64/wow64.h"
#include "platform/registry.h"

namespace {

using emu::registry;
using emu::Registry;
using emu::RegKey;

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE;
constexpr REGSAM kRegOpenKeyRights = KEY_ALL_ACCESS; // what RegOpenKeyA/RegCreateKeyA ask for

std::string text(LPCSTR s) { return s != nullptr ? std::string(s) : std::string(); }

// The open key behind a handle that has all the rights in need.
LONG openKeyFor(HKEY handle, REGSAM need, const Registry::OpenKey *&found) {
    found = registry().lookup(handle);
    if (found == nullptr || !found->key) {
        return ERROR_INVALID_HANDLE;
    }
    if (found->key->deleted) {
        return ERROR_KEY_DELETED;
    }
    if ((found->access & need) != need) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

LONG checkAccess(const RegKey &key, REGSAM access) {
    if (key.denyRead || (key.denyWrite && (access & kWriteRights) != 0)) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

// Walks from a key along path parts; nullptr when a part is missing.
std::shared_ptr<RegKey> walk(std::shared_ptr<RegKey> key, const std::vector<std::string> &parts) {
    for (const std::string &part : parts) {
        auto it = key->subkeys.find(part);
        if (it == key->subkeys.end()) {
            return nullptr;
        }
        key = it->second;
    }
    return key;
}

std::string joinKeyPath(const std::vector<std::string> &parts) {
    std::string path;
    for (const std::string &part : parts) {
        path += (path.empty() ? "" : "\\") + part;
    }
    return path;
}

// What a call that names a subkey of an open key walks: the key it starts
// from and the parts of the path, with the root and stored path of where
// it leads. On a 64-bit machine the path goes from the root, as stored for
// the view the call asks for (wow64/registry_views.h); a call that names no
// subkey stays on the open key.
struct Walk {
    std::shared_ptr<RegKey> from;
    std::vector<std::string> parts;
    HKEY root = nullptr;
    std::vector<std::string> path; // of the key the walk leads to
};

Walk walkFor(const Registry::OpenKey &parent, const std::string &subKey, REGSAM access) {
    std::vector<std::string> path = emu::splitKeyPath(parent.path);
    const std::vector<std::string> parts = emu::splitKeyPath(subKey);
    path.insert(path.end(), parts.begin(), parts.end());
    if (!emu::underWow64() || parts.empty()) {
        return {parent.key, parts, parent.root, path};
    }
    HKEY root = parent.root;
    path = emu::storedKeyPath(root, path, emu::uses32BitView(access));
    return {registry().root(root), path, root, path};
}

bool isStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool hasLeadingSeparator(LPCSTR subKey) { return subKey != nullptr && subKey[0] == '\\'; }

// The fault a test has planned for this call of a registry operation, or
// ERROR_SUCCESS.
LONG plannedFault(const char *operation) {
    return static_cast<LONG>(emu::faults().next(emu::FaultArea::Registry, operation));
}

// The operations themselves. The exported functions below count as one call
// each (RegOpenKeyA and SHDeleteValueA too, though they are made of others).
LONG openKey(HKEY key, LPCSTR subKey, REGSAM access, PHKEY result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    const Registry::OpenKey *parent = nullptr;
    if (LONG rc = openKeyFor(key, 0, parent); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (hasLeadingSeparator(subKey)) {
        return ERROR_BAD_PATHNAME;
    }
    const Walk named = walkFor(*parent, text(subKey), access);
    auto target = walk(named.from, named.parts);
    if (!target) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (LONG rc = checkAccess(*target, access); rc != ERROR_SUCCESS) {
        return rc;
    }
    *result = registry().open(target, access, named.root, joinKeyPath(named.path));
    return ERROR_SUCCESS;
}

LONG createKey(HKEY key, LPCSTR subKey, REGSAM access, PHKEY result, LPDWORD disposition) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    const Registry::OpenKey *parent = nullptr;
    if (LONG rc = openKeyFor(key, 0, parent); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (hasLeadingSeparator(subKey)) {
        return ERROR_BAD_PATHNAME;
    }
    const Walk named = walkFor(*parent, text(subKey), access);
    auto current = named.from;
    const std::vector<std::string> &parts = named.parts;
    std::size_t existing = 0;
    while (existing < parts.size()) {
        auto it = current->subkeys.find(parts[existing]);
        if (it == current->subkeys.end()) {
            break;
        }
        current = it->second;
        ++existing;
    }
    const bool creating = existing < parts.size();
    if (creating) {
        // As on Windows, the handle a key is created through needs no rights;
        // a key that refuses writes refuses new subkeys too.
        if (current->denyWrite || current->denyRead) {
            return ERROR_ACCESS_DENIED;
        }
        // A name or a depth beyond Windows' limits is refused whole.
        const std::vector<std::string> missing(
            parts.begin() + static_cast<std::ptrdiff_t>(existing), parts.end());
        if (!emu::keyLimitProblem(current->level, missing).empty()) {
            return ERROR_INVALID_PARAMETER;
        }
        for (const std::string &name : missing) {
            current = emu::addSubkey(*current, name);
        }
    } else if (LONG rc = checkAccess(*current, access); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (disposition != nullptr) {
        *disposition = creating ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *result = registry().open(current, access, named.root, joinKeyPath(named.path));
    return ERROR_SUCCESS;
}

LONG deleteValue(HKEY key, LPCSTR valueName) {
    const Registry::OpenKey *open = nullptr;
    if (LONG rc = openKeyFor(key, KEY_SET_VALUE, open); rc != ERROR_SUCCESS) {
        return rc;
    }
    return static_cast<LONG>(emu::removeValue(*open->key, text(valueName)) ? ERROR_SUCCESS
                                                                           : ERROR_FILE_NOT_FOUND);
}

// Windows NT deletes only keys without subkeys, and needs DELETE on the key.
LONG deleteKey(const std::shared_ptr<RegKey> &target) {
    if (!target->subkeys.empty() || target->denyWrite || target->denyRead) {
        return ERROR_ACCESS_DENIED;
    }
    const std::shared_ptr<RegKey> holder = registry().holderOf(*target);
    if (!holder) {
        return ERROR_ACCESS_DENIED; // a root
    }
    emu::markDeleted(*target);
    target->holder = nullptr;
    holder->subkeys.erase(target->name);
    return ERROR_SUCCESS;
}

} // namespace

namespace win {

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM access, PHKEY result) {
    if (const LONG fault = plannedFault("RegOpenKeyExA"); fault != ERROR_SUCCESS) {
        if (result != nullptr) {
            *result = nullptr;
        }
        return fault;
    }
    if (Registry::isPredefined(key) && (subKey == nullptr || subKey[0] == '\0') &&
        result != nullptr && emu::registry().lookup(key) != nullptr) {
        *result = key; // a root opens as itself
        return ERROR_SUCCESS;
    }
    return openKey(key, subKey, access, result);
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/,
                     DWORD /*options*/, REGSAM access, LPSECURITY_ATTRIBUTES /*security*/,
                     PHKEY result, LPDWORD disposition) {
    if (const LONG fault = plannedFault("RegCreateKeyExA"); fault != ERROR_SUCCESS) {
        if (result != nullptr) {
            *result = nullptr;
        }
        return fault;
    }
    return createKey(key, subKey, access, result, disposition);
}

LONG RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const LONG fault = plannedFault("RegOpenKeyA"); fault != ERROR_SUCCESS) {
        *result = nullptr;
        return fault;
    }
    if (subKey == nullptr || subKey[0] == '\0') {
        *result = key; // the same handle comes back
        return ERROR_SUCCESS;
    }
    LONG rc = openKey(key, subKey, kRegOpenKeyRights, result);
    if (rc == ERROR_ACCESS_DENIED) {
        // The most access allowed: read access where writing is refused.
        rc = openKey(key, subKey, KEY_READ, result);
    }
    return rc;
}

LONG RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const LONG fault = plannedFault("RegCreateKeyA"); fault != ERROR_SUCCESS) {
        *result = nullptr;
        return fault;
    }
    // A null subkey gives back a root itself, as documented; an empty one,
    // or a null one under any other key, opens a new handle on the key.
    if (subKey == nullptr && Registry::isPredefined(key) &&
        emu::registry().lookup(key) != nullptr) {
        *result = key;
        return ERROR_SUCCESS;
    }
    LONG rc = createKey(key, subKey, kRegOpenKeyRights, result, nullptr);
    if (rc == ERROR_ACCESS_DENIED) {
        rc = openKey(key, subKey, KEY_READ, result);
        if (rc == ERROR_FILE_NOT_FOUND) {
            rc = ERROR_ACCESS_DENIED;
        }
    }
    return rc;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (data != nullptr && dataSize == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const LONG fault = plannedFault("RegQueryValueExA"); fault != ERROR_SUCCESS) {
        return fault;
    }
    const Registry::OpenKey *open = nullptr;
    if (LONG rc = openKeyFor(key, KEY_QUERY_VALUE, open); rc != ERROR_SUCCESS) {
        return rc;
    }
    auto it = open->key->values.find(text(valueName));
    if (it == open->key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const emu::RegValue &value = it->second;
    if (type != nullptr) {
        *type = value.type;
    }
    const auto size = static_cast<DWORD>(value.data.size());
    LONG rc = ERROR_SUCCESS;
    if (data != nullptr) {
        if (*dataSize < size) {
            rc = ERROR_MORE_DATA;
        } else if (size != 0) {
            std::memcpy(data, value.data.data(), size);
            // A string stored without its terminator gets one where the
            // buffer has room; the size reported stays the size stored.
            if (isStringType(value.type) && *dataSize > size && data[size - 1] != 0) {
                data[size] = 0;
            }
        }
    }
    if (dataSize != nullptr) {
        *dataSize = size;
    }
    return rc;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE *data,
                    DWORD dataSize) {
    if (const LONG fault = plannedFault("RegSetValueExA"); fault != ERROR_SUCCESS) {
        return fault;
    }
    const Registry::OpenKey *open = nullptr;
    if (LONG rc = openKeyFor(key, KEY_SET_VALUE, open); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (data == nullptr && dataSize != 0) {
        return ERROR_NOACCESS;
    }
    const std::string name = text(valueName);
    if (!emu::valueNameProblem(name).empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    // A string whose size leaves out the terminator right after its text
    // is stored with it, as Windows does (it reads that one byte more).
    if (isStringType(type) && dataSize != 0 && data[dataSize - 1] != 0 && data[dataSize] == 0) {
        ++dataSize;
    }
    emu::storeValue(*open->key, name, type, std::vector<BYTE>(data, data + dataSize));
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
    if (const LONG fault = plannedFault("RegDeleteValueA"); fault != ERROR_SUCCESS) {
        return fault;
    }
    return deleteValue(key, valueName);
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (const LONG fault = plannedFault("RegDeleteKeyA"); fault != ERROR_SUCCESS) {
        return fault;
    }
    const Registry::OpenKey *parent = nullptr;
    if (LONG rc = openKeyFor(key, 0, parent); rc != ERROR_SUCCESS) {
        return rc;
    }
    if (subKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // The process's own view: RegDeleteKeyA takes no access mask.
    const Walk named = walkFor(*parent, subKey, 0);
    const std::vector<std::string> &parts = named.parts;
    if (parts.empty()) {
        // An empty subkey deletes the key of the handle itself.
        return parent->predefined ? static_cast<LONG>(ERROR_ACCESS_DENIED) : deleteKey(parent->key);
    }
    auto holder = walk(named.from, std::vector<std::string>(parts.begin(), parts.end() - 1));
    auto target = holder ? walk(holder, {parts.back()}) : nullptr;
    if (!target) {
        return ERROR_FILE_NOT_FOUND;
    }
    return deleteKey(target);
}

LONG RegCloseKey(HKEY key) {
    return static_cast<LONG>(emu::registry().close(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
}

LSTATUS SHDeleteValueA(HKEY key, LPCSTR subKey, LPCSTR valueName) {
    if (const LONG fault = plannedFault("SHDeleteValueA"); fault != ERROR_SUCCESS) {
        return fault;
    }
    HKEY opened = nullptr;
    LONG rc = openKey(key, subKey, KEY_SET_VALUE, &opened);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    rc = deleteValue(opened, valueName);
    RegCloseKey(opened);
    return rc;
}

} // namespace win
