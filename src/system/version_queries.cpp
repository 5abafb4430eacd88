// Questions on the Windows version: Windows 2000 or later, and Windows XP.
// Both answer 0 when the system does not tell its version.
#include "platform/system.h"
#include "radozavu.h"

namespace {

bool queryVersion(OSVERSIONINFOA &info) {
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return win::GetVersionExA(&info) != FALSE;
}

} // namespace

extern "C" RADOZAVU_API(int) HKIsWindows2000(void) {
    OSVERSIONINFOA info;
    return queryVersion(info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                   info.dwMajorVersion >= 5
               ? 1
               : 0;
}

extern "C" RADOZAVU_API(int) HKIsWindowsXP(void) {
    OSVERSIONINFOA info;
    return queryVersion(info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                   info.dwMajorVersion == 5 && info.dwMinorVersion == 1
               ? 1
               : 0;
}
