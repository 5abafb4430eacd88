// Questions on the Windows version: Windows 2000 or later, and Windows XP.
// Both answer 0 when the system does not tell its version.
#include "system/windows_version.h"
#include "radozavu.h"

using system_info::QueryWindowsVersion;

extern "C" RADOZAVU_API(int) HKIsWindows2000(void) {
    OSVERSIONINFOA info;
    return QueryWindowsVersion(info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                   info.dwMajorVersion >= 5
               ? 1
               : 0;
}

extern "C" RADOZAVU_API(int) HKIsWindowsXP(void) {
    OSVERSIONINFOA info;
    return QueryWindowsVersion(info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                   info.dwMajorVersion == 5 && info.dwMinorVersion == 1
               ? 1
               : 0;
}
