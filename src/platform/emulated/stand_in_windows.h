// Top-level windows of the product's programs on the emulated machine, as
// far as the library addresses them: found by title, sent messages.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace emu {

struct WindowMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct StandInWindow {
    HWND handle = nullptr;
    std::string className;
    std::string title;
    bool open = true;                    // false once it has been closed
    std::vector<WindowMessage> received; // messages sent to it, in order
    // Runs as the window handles a message (the program reacts, or looks at
    // the machine). On WM_CLOSE the window is then destroyed, as the
    // default window procedure does.
    std::function<void(const WindowMessage &)> onMessage;
};

// Opens a top-level window on the machine; the machine keeps it until it is
// closed. The returned reference stays valid after it closes.
StandInWindow &openStandInWindow(const std::string &className, const std::string &title);

} // namespace emu
