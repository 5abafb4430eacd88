// The system functions of the emulated machine: the thread's last error (which
// the kernel keeps), the Windows version and the code page's lead bytes.
#include <cstring>

#include "emulator/kernel/kernel_objects.h"
#include "emulator/system/system_state.h"
#include "emulator/text.h"
#include "platform/system.h"

namespace win {

DWORD GetLastError() { return emu::kernel().lastError; }

void SetLastError(DWORD code) { emu::kernel().lastError = code; }

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    constexpr DWORD kExtendedSize = 156; // OSVERSIONINFOEXA
    if (info == nullptr || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                            info->dwOSVersionInfoSize != kExtendedSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const emu::VersionInfo &v = emu::system().version;
    if (v.queryFails) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool manifested = v.programManifested && v.manifestedMajor != 0;
    info->dwMajorVersion = manifested ? v.manifestedMajor : v.major;
    info->dwMinorVersion = manifested ? v.manifestedMinor : v.minor;
    info->dwBuildNumber = manifested ? v.manifestedBuild : v.build;
    info->dwPlatformId = v.platform;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::strncpy(info->szCSDVersion, v.servicePack.c_str(), sizeof info->szCSDVersion - 1);
    return TRUE;
}

BOOL IsDBCSLeadByte(BYTE c) { return emu::isLeadByte(c) ? TRUE : FALSE; }

} // namespace win
