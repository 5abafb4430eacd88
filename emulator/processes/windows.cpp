// Top-level windows of the emulated machine. Messages are delivered at once;
// the program behind a window reacts as its scripted reactions say, on the
// virtual clock.
#include <algorithm>

#include "emulator/kernel/kernel_objects.h"
#include "emulator/processes/process_state.h"
#include "platform/system.h"
#include "platform/windows.h"

namespace emu {
namespace {

std::vector<std::shared_ptr<Window>> &windows() { return processes().desktop.windows; }

bool nameMatches(LPCSTR wanted, const std::string &actual) {
    return wanted == nullptr || equalNoCase(wanted, actual);
}

// Records a message that reaches a window and starts the program's reaction.
void deliver(const std::shared_ptr<Window> &window, UINT message, WPARAM wParam, LPARAM lParam,
             bool sent, UINT timeLimitMs = 0) {
    processes().desktop.messages.push_back(DeliveredMessage{window->handle, window->title, message,
                                                            wParam, lParam, sent,
                                                            kernel().clock.now(), timeLimitMs});
    for (const WindowReaction &reaction : window->reactions) {
        if (reaction.message != message) {
            continue;
        }
        const HWND handle = window->handle;
        const DWORD processId = window->processId;
        const bool endsProcess = reaction.endsProcess;
        kernel().clock.schedule(kernel().clock.now() + reaction.delay,
                                [handle, processId, endsProcess] {
                                    destroyWindow(handle);
                                    if (endsProcess) {
                                        endProcess(processId);
                                    }
                                });
        return;
    }
}

} // namespace

HWND createWindow(const std::string &title, DWORD processId, const std::string &className) {
    Desktop &desktop = processes().desktop;
    auto window = std::make_shared<Window>();
    window->handle = reinterpret_cast<HWND>(desktop.nextHandle);
    desktop.nextHandle += 0x10;
    window->title = title;
    window->className = className;
    window->processId = processId;
    window->threadId = desktop.nextThreadId;
    desktop.nextThreadId += 4;
    desktop.windows.insert(desktop.windows.begin(), window);
    return window->handle;
}

void closeWindowOn(HWND handle, UINT message, std::uint64_t delay, bool endsProcess) {
    if (auto window = findWindow(handle)) {
        window->reactions.push_back(WindowReaction{message, delay, endsProcess});
    }
}

std::shared_ptr<Window> findWindow(HWND handle) {
    for (const auto &window : windows()) {
        if (window->handle == handle) {
            return window;
        }
    }
    return nullptr;
}

void destroyWindow(HWND handle) {
    std::erase_if(windows(), [handle](const auto &window) { return window->handle == handle; });
}

void destroyWindowsOf(DWORD processId) {
    if (processId != 0) {
        std::erase_if(windows(),
                      [processId](const auto &window) { return window->processId == processId; });
    }
}

std::vector<DeliveredMessage> messagesTo(const std::string &title) {
    std::vector<DeliveredMessage> found;
    for (const DeliveredMessage &message : processes().desktop.messages) {
        if (message.title == title) {
            found.push_back(message);
        }
    }
    return found;
}

} // namespace emu

namespace win {

HWND FindWindowA(LPCSTR className, LPCSTR title) {
    for (const auto &window : emu::windows()) {
        if (emu::nameMatches(className, window->className) &&
            emu::nameMatches(title, window->title)) {
            return window->handle;
        }
    }
    return nullptr;
}

BOOL PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = emu::findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    emu::deliver(window, message, wParam, lParam, false);
    return TRUE;
}

// A message sent to a window is handled before the call returns, unless its
// program is hung: then the call gives up after the time limit (at once with
// SMTO_ABORTIFHUNG), the message unhandled, with ERROR_TIMEOUT.
LRESULT SendMessageTimeoutA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeoutMs, PDWORD_PTR result) {
    auto window = emu::findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->hung) {
        emu::processes().desktop.messages.push_back(
            emu::DeliveredMessage{window->handle, window->title, message, wParam, lParam, true,
                                  emu::kernel().clock.now(), timeoutMs});
        if ((flags & SMTO_ABORTIFHUNG) == 0) {
            emu::kernel().clock.advance(timeoutMs);
        }
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    emu::deliver(window, message, wParam, lParam, true, timeoutMs);
    if (result != nullptr) {
        *result = 0;
    }
    return 1;
}

HWND FindWindowExA(HWND parent, HWND after, LPCSTR className, LPCSTR title) {
    // Only top-level windows: the machine's windows have no children.
    if (parent != nullptr) {
        return nullptr;
    }
    const auto &windows = emu::windows();
    auto it = windows.begin();
    if (after != nullptr) {
        it = std::find_if(windows.begin(), windows.end(),
                          [after](const auto &window) { return window->handle == after; });
        if (it == windows.end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        ++it;
    }
    for (; it != windows.end(); ++it) {
        if (emu::nameMatches(className, (*it)->className) &&
            emu::nameMatches(title, (*it)->title)) {
            return (*it)->handle;
        }
    }
    return nullptr;
}

BOOL EnumWindows(WNDENUMPROC callback, LPARAM parameter) {
    // The windows as they were when the walk began; one destroyed on the way
    // is skipped.
    const auto snapshot = emu::windows();
    for (const auto &window : snapshot) {
        if (emu::findWindow(window->handle) && !callback(window->handle, parameter)) {
            return FALSE;
        }
    }
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND handle, LPDWORD processId) {
    auto window = emu::findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (processId != nullptr) {
        *processId = window->processId;
    }
    return window->threadId;
}

} // namespace win
