// Questions on the Windows version: Windows 2000 or later, and Windows XP.
// Both answer 0 when the system does not tell its version.
#include "radozavu.h"
#include "os/windows_version.h"

using os::WindowsVersion;

extern "C" RADOZAVU_API(int) HKIsWindows2000(void) {
    const WindowsVersion version = WindowsVersion::Query();
    return version.isNt() && version.major() >= 5 ? 1 : 0;
}

extern "C" RADOZAVU_API(int) HKIsWindowsXP(void) {
    const WindowsVersion version = WindowsVersion::Query();
    return version.isNt() && version.major() == 5 && version.minor() == 1 ? 1 : 0;
}
