// The registry's roots by name, as registry files write them
// (HKEY_LOCAL_MACHINE) and as people write them (HKLM): one table for the
// emulated machine's registry files and the host's keys. Header only, so that
// the host built for Windows reads the same names against the real roots.
#pragma once

#include "platform/types.h"

namespace emu {

struct RootName {
    HKEY root;
    const char *longName;
    const char *shortName;
};

// The roots a registry file may name, in the order an export writes them
// (HKEY_CLASSES_ROOT, a view of HKLM\Software\Classes, is never written).
inline const RootName kRootNames[] = {
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
    {HKEY_USERS, "HKEY_USERS", "HKU"},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "HKCR"},
};

// The root's entry; nullptr for a root the table does not hold.
inline const RootName *findRootName(HKEY root) {
    for (const RootName &name : kRootNames) {
        if (name.root == root) {
            return &name;
        }
    }
    return nullptr;
}

} // namespace emu
