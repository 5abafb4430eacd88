// The Windows installed on the emulated machine: its version and
// architecture, code page, Windows folder, environment and the shell's
// folders, its time, the token of the program that loaded the library and
// the requests to end Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "emulator/case_less.h"
#include "emulator/system/calendar.h"
#include "emulator/system/shutdown_state.h"
#include "platform/types.h"

namespace emu {

struct VersionInfo {
    DWORD platform = VER_PLATFORM_WIN32_NT;
    DWORD major = 5;
    DWORD minor = 1;
    DWORD build = 2600;
    std::string servicePack = "Service Pack 2";
    bool queryFails = false; // GetVersionExA reports failure
    // Windows 8.1 and later tell a program the version above (6.2 build
    // 9200) unless it is manifested for Windows 10; such a program is told
    // this one (0: the answer does not depend on the manifest).
    DWORD manifestedMajor = 0;
    DWORD manifestedMinor = 0;
    DWORD manifestedBuild = 0;
    bool programManifested = false; // the setup program is manifested for Windows 10
};

// The machine's part that describes the Windows installed.
struct System {
    VersionInfo version;
    // A 64-bit Windows: the 32-bit library runs under WOW64, whose rules
    // the machine keeps in one place (wow64/); other parts ask there.
    bool x64 = false;
    UINT codePage = 1252;
    std::string windowsFolder = "C:\\WINDOWS";
    std::map<std::string, std::string, CaseLess> environment;
    // The shell's special folders (CSIDL number -> machine path). A folder
    // not listed is absent; one with an empty path has an item identifier
    // list but no file-system path.
    std::map<int, std::string> specialFolders;
    // Item identifier lists the shell handed out and nobody freed yet.
    std::map<const void *, std::string> shellItemLists;

    // The system time as a FILETIME (100-nanosecond intervals since 1601,
    // UTC) at clock reading systemTimeSetAt; it runs on with the clock.
    std::uint64_t systemTime = 127862139000000000ull; // Tue 2006-03-07 14:05:00 UTC
    std::uint64_t systemTimeSetAt = 100000;           // the clock's reading at its start
    Calendar calendar;

    ProcessToken processToken;
    std::vector<RestartRequest> restartRequests; // in the order they were made
    // Runs as the system takes each request, so a test can look at the
    // machine at that moment.
    std::function<void(const RestartRequest &)> onRestartRequest;
};

// The current machine's Windows.
System &system();

// The largest FILETIME Windows turns into a date (the year 30828), at
// which the system time stops.
constexpr std::uint64_t kSystemTimeMaximum = INT64_MAX;
// FILETIME units (100 ns) in a millisecond of the clock.
constexpr std::uint64_t kFileTimeUnitsPerMillisecond = 10000;

// Sets the system time (a FILETIME value) from now on.
void setSystemTime(std::uint64_t fileTime);
// The system time now: the time set, run on with the clock, and stopped at
// kSystemTimeMaximum.
std::uint64_t systemTimeNow();

// The system folder as GetSystemDirectoryA gives it (System32, or SYSTEM on
// the Windows 95 family).
std::string systemFolder();

} // namespace emu
