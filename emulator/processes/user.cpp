// The emulated machine's user: message boxes and the cursor.
#include <algorithm>
#include <vector>

#include "emulator/processes/desktop.h"
#include "emulator/processes/process_state.h"
#include "platform/system.h"
#include "platform/user.h"

namespace emu {

int answerAsScripted(const ScriptedAnswer &scripted) {
    for (const std::string &title : scripted.closes) {
        const std::vector<std::shared_ptr<Window>> &windows = processes().desktop.windows;
        const auto found = std::find_if(windows.begin(), windows.end(),
                                        [&](const auto &window) { return window->title == title; });
        if (found == windows.end()) {
            continue;
        }
        // Read before the closing changes the desktop's list.
        const DWORD processId = (*found)->processId;
        const HWND handle = (*found)->handle;
        if (processId != 0) {
            destroyWindowsOf(processId);
            endProcess(processId, 0);
        } else {
            destroyWindow(handle);
        }
    }
    return scripted.button;
}

} // namespace emu

namespace win {

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    emu::User &user = emu::processes().user;
    emu::MessageBoxRecord record{owner, text != nullptr ? text : "",
                                 caption != nullptr ? caption : "Error", style, IDOK};
    if (user.messageBoxFails) {
        record.answer = 0;
    } else if (user.ownerMustBeWindow && owner != nullptr && !emu::findWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        record.answer = 0;
    } else if (user.responder) {
        record.answer = user.responder(record);
    } else {
        record.answer = emu::answerAsScripted(user.scripted);
    }
    user.messageBoxes.push_back(record);
    return record.answer;
}

HCURSOR LoadCursorA(HINSTANCE /*instance*/, LPCSTR name) {
    // System cursors are known by their resource numbers; the number is the handle.
    return reinterpret_cast<HCURSOR>(const_cast<LPSTR>(name));
}

HCURSOR SetCursor(HCURSOR cursor) {
    emu::User &user = emu::processes().user;
    const HCURSOR previous = user.cursor;
    user.cursor = cursor;
    user.cursorHistory.push_back(cursor);
    return previous;
}

} // namespace win
