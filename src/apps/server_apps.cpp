// The server components: the console and agent windows and the two server
// services. Setup finds them and closes them before it replaces their files.
#include "apps/service_control.h"
#include "apps/window_process.h"
#include "os/product_windows.h"
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
    found.console = os::FindProductWindow(kConsoleTitle, os::kConsoleProgram);
    found.agent = os::FindProductWindow(kAgentTitle, os::kServerAgentProgram);
    found.syncServerRunning = apps::IsServiceRunning(kSyncServerService);
    found.alertRunning = apps::IsServiceRunning(kAlertService);
    return found;
}

// Closes the process of a server window found before, then sends WM_CLOSE to
// any window of that title and program still there.
void closeServerWindow(HWND found, const char *title, const char *program) {
    if (found != nullptr) {
        apps::CloseWindowProcess(found, kServerWindowExitMs);
    }
    if (const HWND remaining = os::FindProductWindow(title, program); remaining != nullptr) {
        os::SendCloseWithTimeLimit(remaining);
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
    closeServerWindow(found.console, kConsoleTitle, os::kConsoleProgram);
    closeServerWindow(found.agent, kAgentTitle, os::kServerAgentProgram);
    if (found.syncServerRunning) {
        apps::StopServiceByName(kSyncServerService);
    }
    if (found.alertRunning) {
        apps::StopServiceByName(kAlertService);
    }
    return 0;
}
