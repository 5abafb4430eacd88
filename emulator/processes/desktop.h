// The emulated machine's desktop: top-level windows with titles and owning
// processes, and how the programs behind them react to the messages they get.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"

namespace emu {

// A message the program behind a window reacts to by closing that window,
// after a delay on the virtual clock. With endsProcess its whole process
// exits at that moment, and every other window of it goes too.
struct WindowReaction {
    UINT message = WM_CLOSE;
    std::uint64_t delay = 0;
    bool endsProcess = false;
};

struct Window {
    HWND handle = nullptr;
    std::string title;
    std::string className;
    DWORD processId = 0; // 0: a window the machine knows no process of
    DWORD threadId = 0;
    // Messages it reacts to; a window without reactions ignores every
    // message and stays until its process ends.
    std::vector<WindowReaction> reactions;
    // Its program no longer answers messages: a sent message is never
    // handled (SendMessageTimeoutA gives up, at once with SMTO_ABORTIFHUNG).
    bool hung = false;
};

// A message that reached a window, posted or sent.
struct DeliveredMessage {
    HWND window = nullptr;
    std::string title; // the window's title when the message arrived
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool sent = false;    // SendMessageTimeoutA rather than PostMessageA
    std::uint64_t at = 0; // virtual time
    UINT timeLimitMs = 0; // a sent message's time limit
};

struct Desktop {
    // Top-level windows, topmost first: FindWindowA finds the first match,
    // EnumWindows walks them in this order.
    std::vector<std::shared_ptr<Window>> windows;
    std::vector<DeliveredMessage> messages;
    std::uintptr_t nextHandle = 0x10010;
    DWORD nextThreadId = 2000;
};

// Creates a top-level window of a process (0 for none) on top of the others.
HWND createWindow(const std::string &title, DWORD processId, const std::string &className = "");
// Makes a window close (and with endsProcess its process exit) a delay after
// it receives message.
void closeWindowOn(HWND window, UINT message, std::uint64_t delay = 0, bool endsProcess = false);
// The window behind a handle, nullptr once it is gone.
std::shared_ptr<Window> findWindow(HWND window);
// Destroys a window now.
void destroyWindow(HWND window);
// Destroys every window of a process (its end takes its windows with it).
void destroyWindowsOf(DWORD processId);
// The messages that reached windows of a title, in the order they came.
std::vector<DeliveredMessage> messagesTo(const std::string &title);

} // namespace emu
