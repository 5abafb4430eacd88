// The Windows versions a machine can be built as, one table for the host's
// machine new and the conformance fixture: what each reports through
// GetVersionExA, which processors it had editions for, and what a fresh
// installation holds that the library and the host can see (folders,
// environment, shell folders, registry values, services).
#pragma once

#include <string>
#include <vector>

#include "emulator/machine.h"
#include "platform/types.h"

namespace emu {

struct WindowsEdition {
    const char *name; // as machine new takes it: "xp", "10", ...
    DWORD platform, major, minor, build;
    const char *servicePack;
    bool has32Bit, has64Bit;
    // What a program manifested for Windows 10 is told (Windows 8.1 and
    // later tell a program without that manifest 6.2 build 9200); 0 when the
    // answer does not depend on the manifest.
    DWORD manifestedMajor, manifestedMinor, manifestedBuild;
    // The network provider order a fresh installation has.
    const char *providerOrder;
    // Why there is no 64-bit machine of this version, when there is none.
    const char *no64BitReason;
};

// Every version, oldest first.
const std::vector<WindowsEdition> &windowsEditions();
// The version a machine is when none is named: every library test's
// machine, and the host's machine new without --windows.
constexpr const char *kDefaultEdition = "xp";
const WindowsEdition &defaultEdition();
// The version of that name; nullptr when there is none.
const WindowsEdition *findWindowsEdition(const std::string &name);
// The names, separated by blanks ("95 98 ... 11").
std::string windowsEditionNames();
// Whether the version's machine is 64-bit when no architecture is asked
// for: where there was no 32-bit edition.
bool x64ByDefault(const WindowsEdition &edition);
// Why there is no machine of the version in that architecture ("no x64
// machine of Windows 98: ..."); empty when there is one.
std::string missingEdition(const WindowsEdition &edition, bool x64);
// Whether the version keeps its users' folders in C:\Users (Windows 7 and
// later) rather than C:\Documents and Settings.
bool hasUsersFolder(const WindowsEdition &edition);

// The version GetVersionExA reports on the edition, 32- or 64-bit (XP and
// Server 2003 x64 report 5.2 build 3790), its setup program not manifested.
VersionInfo editionVersion(const WindowsEdition &edition, bool x64);

// Makes the current machine (a fresh one) an installation of the edition,
// 64-bit (the library running under WOW64) or 32-bit, its C: drive in
// hostFolder: the Windows folder with its registry editors, the program,
// profile and shared folders, the environment a 32-bit process sees, the
// shell's folders, the version GetVersionExA reports and the registry values
// a fresh installation holds in each view, with its standard services.
// Every fresh machine is made here: the library tests', the conformance
// suite's and the host's.
void configureWindows(const std::string &hostFolder, const WindowsEdition &edition, bool x64);

} // namespace emu
