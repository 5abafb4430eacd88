#include "system/windows_version.h"

#include "platform/system.h"

namespace system_info {

bool QueryWindowsVersion(OSVERSIONINFOA &info) {
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the plain version record");
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return win::GetVersionExA(&info) != FALSE;
}

} // namespace system_info
