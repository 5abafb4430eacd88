// What the conformance fixture does differently on each platform: the
// machine the cases run on and where their scratch folder lies.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

namespace conformance::platform {

// The scratch registry key under HKEY_CURRENT_USER.
inline constexpr const char *kScratchKey = "Software\\RADOZAVU conformance";

// Once per run, before the first case.
void startRun();
// Before and after every case: a machine with an empty scratch folder, and
// the scratch folder and key removed again.
void startCase();
void endCase();
// The scratch folder as a machine path, and where the machine keeps a
// machine path on this computer.
const std::string &scratchFolder();
std::string hostPath(const std::string &machinePath);
// Whether the suite runs as a 32-bit process of a 64-bit Windows (WOW64):
// the emulated machine configured as Windows 10 x64 (conformance.emulated.x64)
// or a 64-bit Wine prefix. A case whose behaviour differs on such a machine
// asks this and checks what that machine does.
bool underWow64();
// The names of a key's subkeys as the view asks (0, KEY_WOW64_32KEY or
// KEY_WOW64_64KEY) enumerates them; empty when the key cannot be opened.
// Enumeration is no function of the seam, so the fixture does it.
std::vector<std::string> subkeyNames(HKEY root, const std::string &path, REGSAM view);
// Removes a key and everything below it in a view, where a case made one
// outside the scratch key (HKEY_LOCAL_MACHINE\Software ...).
void removeKey(HKEY root, const std::string &path, REGSAM view);

// Makes link (a machine path in a folder that exists) a junction leading to
// the folder target: on the emulated machine a host link to a folder of its
// drives, under Wine a Unix symbolic link (wine::makeJunction says why).
void makeJunction(const std::string &link, const std::string &target);

// "the emulated machine", "Wine <version>" or "Windows".
std::string name();
bool underWine();

} // namespace conformance::platform
