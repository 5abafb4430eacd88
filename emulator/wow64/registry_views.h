// The registry of a 64-bit Windows as the 32-bit library sees it under
// WOW64, as Microsoft documents it for Windows 7 and later ("Registry Keys
// Affected by WOW64", "Registry Redirector"; no reflection): the 32-bit view
// of a redirected key is kept below a Wow6432Node key, a shared key is one
// key in both views, and a call asks for a view with KEY_WOW64_64KEY or
// KEY_WOW64_32KEY (else the process's own, the 32-bit one).
//
// The machine's registry is stored as the 64-bit view shows it (the 32-bit
// keys at HKLM\SOFTWARE\WOW6432Node\...), so a saved machine and the host's
// report name the keys where a 64-bit registry editor shows them. On a
// 32-bit machine there is one view and every path is its own location.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

namespace emu {

// The key below a redirected key that holds its 32-bit view.
constexpr const char *kWow64Node = "WOW6432Node";

// Whether a registry call of the library with this access mask works in the
// 32-bit view: on a 64-bit machine unless it asks for KEY_WOW64_64KEY.
bool uses32BitView(REGSAM access);

// Where a key named in a view is stored: the parts of its path below root as
// the 64-bit view names them. A Wow6432Node named in the path itself (as
// programs that know the location write it) names the 32-bit view of what
// follows, in either view. HKEY_CLASSES_ROOT is taken as
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes; root is changed to match.
std::vector<std::string> storedKeyPath(HKEY &root, const std::vector<std::string> &parts,
                                       bool view32);
// The same for a path written with backslashes, given back joined.
std::string storedKeyPath(HKEY &root, const std::string &path, bool view32);

// Whether a view leaves a subkey out when it lists a key's subkeys: the
// 32-bit view hides the Wow6432Node keys, as Windows does.
bool hiddenInView(const std::string &subkeyName, bool view32);

} // namespace emu
