// The server components: the console and agent windows and the two server
// services. Setup finds them and closes them before it replaces their files.
#include "apps/service_control.h"
#include "apps/window_process.h"
#include "platform/windows.h"
#include "radozavu.h"

namespace {

constexpr const char *kConsoleTitle = "Quillane Synchronization Server Console 5.0";
constexpr const char *kAgentTitle = "Quillane Synchronization Server Agent 5.0";
constexpr const char *kSyncServerService = "QLNSyncServer50";
constexpr const char *kAlertService = "QLNAlert50";
constexpr DWORD kServerWindowExitMs = 100;

struct ServerComponents {
    HWND console = nullptr;
    HWND agent = nullptr;
    bool syncServerRunning = false;
    bool alertRunning = false;
};

// All four are looked at, always in this order.
ServerComponents findServerComponents() {
    ServerComponents found;
    found.console = win::FindWindowA(nullptr, kConsoleTitle);
    found.agent = win::FindWindowA(nullptr, kAgentTitle);
    found.syncServerRunning = apps::IsServiceRunning(kSyncServerService);
    found.alertRunning = apps::IsServiceRunning(kAlertService);
    return found;
}

// Closes the process of a server window found before, then sends WM_CLOSE to
// any window of that title still there.
void closeServerWindow(HWND found, const char *title) {
    if (found != nullptr) {
        apps::CloseWindowProcess(found, kServerWindowExitMs);
    }
    if (const HWND remaining = win::FindWindowA(nullptr, title); remaining != nullptr) {
        win::SendMessageA(remaining, WM_CLOSE, 0, 0);
    }
}

} // namespace

// The record is not read.
extern "C" RADOZAVU_API(int)
HKSetupAreThereAnyRunningServerApps(const SetupCallRecord * /*record*/) {
    const ServerComponents found = findServerComponents();
    return found.console != nullptr || found.agent != nullptr || found.syncServerRunning ||
                   found.alertRunning
               ? 1
               : 0;
}

// The record is not read.
extern "C" RADOZAVU_API(int) HKSetupStopRunningServerApps(const SetupCallRecord * /*record*/) {
    const ServerComponents found = findServerComponents();
    closeServerWindow(found.console, kConsoleTitle);
    closeServerWindow(found.agent, kAgentTitle);
    if (found.syncServerRunning) {
        apps::StopServiceByName(kSyncServerService);
    }
    if (found.alertRunning) {
        apps::StopServiceByName(kAlertService);
    }
    return 0;
}
