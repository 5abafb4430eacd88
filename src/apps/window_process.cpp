#include "apps/window_process.h"

#include "base/handles.h"
#include "platform/processes.h"
#include "platform/windows.h"

namespace apps {
namespace {

constexpr ACCESS_MASK kProcessAccess = SYNCHRONIZE | PROCESS_TERMINATE;

// Posts WM_CLOSE to a window when it belongs to the process whose id the
// walk carries; the walk always goes on to the end.
BOOL CALLBACK postCloseToWindowOfProcess(HWND window, LPARAM processId) {
    DWORD owner = 0;
    win::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(processId)) {
        win::PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

} // namespace

void CloseWindowProcess(HWND window, DWORD limitMs) {
    if (window == nullptr) {
        return;
    }
    DWORD processId = 0;
    win::GetWindowThreadProcessId(window, &processId);
    if (processId == 0) {
        return;
    }
    handles::UniqueHandle process(win::OpenProcess(kProcessAccess, FALSE, processId));
    if (!process) {
        return;
    }
    win::EnumWindows(postCloseToWindowOfProcess, static_cast<LPARAM>(processId));
    if (win::WaitForSingleObject(process.get(), limitMs) != WAIT_OBJECT_0) {
        win::TerminateProcess(process.get(), 0);
    }
}

} // namespace apps
