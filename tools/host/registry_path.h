// Registry keys as scripts and command lines write them: "HKLM\Software\...",
// "HKCU\..." or "HKU\..." (or the roots' long names).
#pragma once

#include <string>

#include "win_types.h"

namespace host {

// The key's root, with the rest of the path in rest; throws UsageError for a
// root the host does not know.
HKEY splitRoot(const std::string &path, std::string &rest);

} // namespace host
