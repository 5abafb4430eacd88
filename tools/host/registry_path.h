// Registry keys as scripts and command lines write them: "HKLM\Software\...",
// "HKCU\..." or "HKU\..." (or the roots' long names), named as the installer,
// a 32-bit process, sees them; on a 64-bit Windows "HKLM64\...", "HKCU64\..."
// and "HKU64\..." name the same keys in the 64-bit view of the registry.
#pragma once

#include <string>

#include "platform/types.h"

namespace host {

struct KeyName {
    HKEY root = nullptr;
    std::string path;    // below the root
    bool view64 = false; // named through a 64-bit root (HKLM64, ...)
};

// The key's root and path; throws UsageError for a root the host does not
// know.
KeyName splitKey(const std::string &key);

// The key's root, with the rest of the path in rest (either view).
HKEY splitRoot(const std::string &path, std::string &rest);

// The short name of a root as reports name keys ("HKLM", "HKCU", "HKU"),
// whatever name a script gave it.
const char *rootName(HKEY root);

} // namespace host
