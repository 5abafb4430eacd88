// Top-level windows of the emulated machine, as far as the library addresses
// them: FindWindowA finds an open window by class and title (both compared
// without regard to case, either may be left out), SendMessageA hands it a
// message and returns once the window has handled it.
#include <memory>

#include "platform/agent_window.h"
#include "platform/emulated/machine.h"
#include "platform/system.h"

namespace emu {

StandInWindow &openStandInWindow(const std::string &className, const std::string &title) {
    auto &windows = machine().standInWindows;
    auto window = std::make_shared<StandInWindow>();
    window->handle =
        reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10010 + 4 * windows.size()));
    window->className = className;
    window->title = title;
    windows.push_back(window);
    return *window;
}

} // namespace emu

namespace win {

HWND FindWindowA(LPCSTR className, LPCSTR title) {
    for (const auto &window : emu::machine().standInWindows) {
        if (window->open &&
            (className == nullptr || emu::equalNoCase(window->className, className)) &&
            (title == nullptr || emu::equalNoCase(window->title, title))) {
            return window->handle;
        }
    }
    return nullptr;
}

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const auto &window : emu::machine().standInWindows) {
        if (window->handle == handle && window->open) {
            const emu::WindowMessage sent{message, wParam, lParam};
            window->received.push_back(sent);
            if (window->onMessage) {
                window->onMessage(sent);
            }
            if (message == WM_CLOSE) {
                window->open = false;
            }
            return 0;
        }
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
}

} // namespace win
