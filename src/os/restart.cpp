#include "os/restart.h"

#include "os/product_windows.h"
#include "frame/busy_cursor.h"
#include "logging/debug_log.h"
#include "base/handles.h"
#include "platform/shutdown.h"
#include "platform/system.h"
#include "radozavu.h"
#include "registry/product_registry.h"
#include "os/windows_version.h"

namespace os {
namespace {

using logging::DebugLogInstall;

} // namespace

bool IsWindowsNt4OrLater() {
    const os::WindowsVersion version = os::WindowsVersion::Query();
    return version.isNt() && version.major() >= 4;
}

bool IsWindowsNt4Sp6OrLater() {
    const os::WindowsVersion version = os::WindowsVersion::Query();
    return version.isNt() && version.major() == 4 && version.servicePackAtLeast("Service Pack 6");
}

DWORD AdjustProcessPrivilege(const char *privilegeName, BOOL enable, HANDLE token) {
    handles::UniqueHandle processToken;
    if (token == nullptr) {
        if (!win::OpenProcessToken(win::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                   processToken.put())) {
            return win::GetLastError();
        }
        token = processToken.get();
    }
    LUID privilege{};
    if (!win::LookupPrivilegeValueA(nullptr, privilegeName, &privilege)) {
        return win::GetLastError();
    }
    // First learn the privilege's attributes: the system reports only a
    // privilege whose state the call changed, so a previous state left empty
    // means attributes of 0.
    TOKEN_PRIVILEGES query{};
    query.PrivilegeCount = 1;
    query.Privileges[0].Luid = privilege;
    TOKEN_PRIVILEGES previous{};
    DWORD previousSize = 0;
    if (!win::AdjustTokenPrivileges(token, FALSE, &query, sizeof previous, &previous,
                                    &previousSize)) {
        return win::GetLastError();
    }
    previous.PrivilegeCount = 1;
    previous.Privileges[0].Luid = privilege;
    if (enable) {
        previous.Privileges[0].Attributes |= SE_PRIVILEGE_ENABLED;
    } else {
        previous.Privileges[0].Attributes &= ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED);
    }
    if (!win::AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr)) {
        return win::GetLastError();
    }
    return ERROR_SUCCESS;
}

void RestartComputer() {
    DebugLogInstall("EWX_REBOOT");
    if (IsWindowsNt4OrLater()) {
        // Without the privilege Windows refuses the restart below, which
        // leaves it running: the request is made either way.
        AdjustProcessPrivilege("SeShutdownPrivilege", TRUE, nullptr);
    }
    registry::WriteProductDword("Reserved", "ExitWindows", 1, HKEY_CURRENT_USER);
    if (IsWindowsNt4Sp6OrLater() &&
        registry::ReadPreferenceDword("DisableSp6ShutdownWorkaround", 0) == 0) {
        DebugLogInstall("NT4ServicePack6OrGreater InitiateSystemShutdown REBOOT");
        win::InitiateSystemShutdownA(nullptr, nullptr, 0, FALSE, TRUE);
        return;
    }
    DebugLogInstall("ExitWindowsEx(EWX_REBOOT)");
    win::ExitWindowsEx(EWX_REBOOT, 0);
}

} // namespace os

extern "C" RADOZAVU_API(int) HKSetupRebootComputer(const SetupCallRecord * /*record*/) {
    const frame::BusyCursor busy;
    // The agent is asked to close and waited for until it has handled the
    // request, within a time limit: a hung window must not keep the computer
    // from restarting.
    if (HWND agent = os::FindProductWindow(os::kAgentWindowTitle, os::kAgentProgram);
        agent != nullptr) {
        os::SendCloseWithTimeLimit(agent);
    }
    os::RestartComputer();
    return 0;
}
