// What the conformance fixture does differently on each platform: the
// machine the cases run on and where their scratch folder lies.
#pragma once

#include <string>

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
// "the emulated machine", "Wine <version>" or "Windows".
std::string name();
bool underWine();
// Whether the suite, a 32-bit program, runs under WoW64 on a 64-bit Windows:
// a case whose behaviour differs on such a machine asks this and checks what
// that machine does.
bool runsUnderWow64();

} // namespace conformance::platform
