// Client and server setup's first steps: the system check, and for the
// client setup the closing of the product's running client programs.
//
// The client programs hold the semaphore "ZEP" while they run and show a
// "Synchronization" window and a project manager window; asked with the exit
// request, they close. The switch "AllowRequestUserCloseApp" chooses whether
// setup asks the user to close them or asks the programs themselves.
#include <string>

#include "apps/system_check.h"
#include "frame/application.h"
#include "frame/busy_cursor.h"
#include "frame/messages.h"
#include "logging/debug_log.h"
#include "os/product_windows.h"
#include "base/handles.h"
#include "platform/kernel.h"
#include "platform/processes.h"
#include "platform/semaphores.h"
#include "platform/windows.h"
#include "registry/product_registry.h"

namespace {

constexpr const char *kClientSemaphore = "ZEP";
constexpr DWORD kSemaphoreWaitMs = 1;
constexpr const char *kSynchronizationTitle = "Synchronization";
constexpr UINT kExitRequest = 0x101D;
constexpr DWORD kWindowPollMs = 10;
constexpr DWORD kPauseBetweenWindowsMs = 10;
// How long a client window may take to go after the exit request before the
// user is asked to close the program: a program that ignores the request
// must not keep setup waiting without a word.
constexpr DWORD kExitRequestLimitMs = 30000;
// How often the windows are looked for while the user cannot be asked.
constexpr DWORD kUnaskedWindowPollMs = 500;

// A record-taking export called without a record shows its boxes without
// an owner window.
const SetupCallRecord &recordOrNone(const SetupCallRecord *record) {
    static const SetupCallRecord none{};
    return record != nullptr ? *record : none;
}

std::string projectManagerTitle() { return frame::productDisplayName() + " - Project Manager"; }

// A window of the title shown by the product's client program.
HWND clientWindow(const char *title) { return os::FindProductWindow(title, os::kClientProgram); }

bool windowPresent(const char *title) { return clientWindow(title) != nullptr; }

// Shows the "application running" box until no window of the given titles
// is left; each OK leads to a new look. When no box can be shown at all (no
// desktop to show it on), the windows are still waited for, looked up with a
// pause between lookups rather than as fast as the processor allows.
void askUserUntilGone(const SetupCallRecord &record, const char *first, const char *second) {
    bool boxesShown = true;
    for (;;) {
        const bool firstPresent = windowPresent(first);
        const bool secondPresent = second != nullptr && windowPresent(second);
        if (!firstPresent && !secondPresent) {
            return;
        }
        if (!boxesShown) {
            win::Sleep(kUnaskedWindowPollMs);
        } else if (frame::InstallerMessageBox(record, frame::kMsgApplicationRunning) <= 0) {
            boxesShown = false;
            logging::DebugLogWindows("HKSetupFindRunningApps: no message box can be shown; "
                                     "waiting for the program to close, looking every %d ms",
                                     static_cast<int>(kUnaskedWindowPollMs));
        }
    }
}

// Posts the exit request to the window of a title, if there is one, and
// waits until no window of that title is left; after kExitRequestLimitMs the
// user is asked to close the program instead.
void requestExit(const SetupCallRecord &record, const char *title) {
    const HWND window = clientWindow(title);
    if (window == nullptr) {
        return;
    }
    win::PostMessageA(window, kExitRequest, 1, 0);
    const DWORD start = win::GetTickCount();
    while (windowPresent(title)) {
        if (win::GetTickCount() - start >= kExitRequestLimitMs) {
            askUserUntilGone(record, title, nullptr);
            return;
        }
        win::Sleep(kWindowPollMs);
    }
}

// Gets the running client programs closed. The semaphore is looked at once;
// after that only the windows are watched.
void closeRunningClientPrograms(const SetupCallRecord &record) {
    // A name held by another kind of object (or refused to us) cannot tell
    // whether a client runs: setup goes on as if none did.
    handles::UniqueHandle semaphore(win::CreateSemaphoreA(nullptr, 1, 1, kClientSemaphore));
    if (!semaphore) {
        return;
    }
    if (win::WaitForSingleObject(semaphore.get(), kSemaphoreWaitMs) == WAIT_OBJECT_0) {
        win::ReleaseSemaphore(semaphore.get(), 1, nullptr);
        return;
    }
    const DWORD askUser = registry::ReadProductDword("Preferences", "AllowRequestUserCloseApp", 1,
                                                     HKEY_LOCAL_MACHINE);
    if (askUser != 0) {
        askUserUntilGone(record, projectManagerTitle().c_str(), kSynchronizationTitle);
        return;
    }
    requestExit(record, kSynchronizationTitle);
    win::Sleep(kPauseBetweenWindowsMs);
    requestExit(record, projectManagerTitle().c_str());
}

} // namespace

extern "C" RADOZAVU_API(int) HKSetupFindRunningApps(const SetupCallRecord *record) {
    const frame::BusyCursor busy;
    const SetupCallRecord &call = recordOrNone(record);
    if (!apps::SystemAllowsSetup(call, apps::SetupKind::Client)) {
        return 1;
    }
    closeRunningClientPrograms(call);
    return 0;
}

extern "C" RADOZAVU_API(int) HKServerSetupFindRunningApps(const SetupCallRecord *record) {
    const frame::BusyCursor busy;
    return apps::SystemAllowsSetup(recordOrNone(record), apps::SetupKind::Server) ? 0 : 1;
}
