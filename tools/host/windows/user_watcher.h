// The user in front of the computer, as the host on Windows plays it: a
// thread of its own answers the message boxes of this process as the script
// says (after closing the programs it names) and records each one; a hidden
// window of the same thread answers the system's question whether the
// session may end, so a restart the library asks for is refused (or, with
// --allow-restart, let through) and recorded.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "changes.h"

namespace host {

// How long the host waits for what the system does after a call (the
// question to end the session, a program closing): long enough that a
// loaded machine never misses it; a wait that succeeds returns at once.
constexpr DWORD kPatienceMs = 60000;

// A message box as the user sees it.
BoxRecord readMessageBox(HWND box);

class UserWatcher {
public:
    explicit UserWatcher(bool allowRestart);
    ~UserWatcher();
    UserWatcher(const UserWatcher &) = delete;
    UserWatcher &operator=(const UserWatcher &) = delete;

    // From now on every box is answered with button, after the programs of
    // the windows with these titles have been ended.
    void setAnswer(int button, const std::vector<std::string> &closingTitles);

    // The boxes answered and the questions to end the session since the last
    // take.
    std::vector<BoxRecord> takeBoxes();
    std::vector<RestartRecord> takeRestarts();

    // Waits, at most limitMs, until the system has asked whether the session
    // may end.
    bool waitForSessionQuestion(DWORD limitMs);

private:
    static LRESULT CALLBACK sessionProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    void watch();
    void answer(HWND box);

    const bool allowRestart_;
    std::mutex mutex_;
    int button_ = IDOK;
    std::vector<std::string> closingTitles_;
    std::vector<BoxRecord> boxes_;
    std::vector<RestartRecord> restarts_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ready_{false};
    std::thread thread_;
};

// The shutdown privilege of this process: the library enables it before it
// asks for a restart, so the host clears it before each call and looks at it
// after.
void clearShutdownPrivilege();
bool shutdownPrivilegeEnabled();

} // namespace host
