#include "frame/messages.h"

#include <cstdio>

#include "frame/library.h"
#include "platform/resources.h"
#include "platform/user.h"

namespace frame {

std::string MessageText(UINT id) {
    char text[1024] = "";
    win::LoadStringA(libraryModule(), id, text, sizeof text);
    std::string result = text;
    if (id > 2000 && id < 4000) {
        char tag[32];
        std::snprintf(tag, sizeof tag, " [MSG-%d]", static_cast<int>(id));
        result += tag;
    }
    return result;
}

int InstallerMessageBox(const SetupCallRecord &record, UINT id) {
    const std::string text = MessageText(id);
    const std::string title = MessageText(kMsgInstallationTitle);
    const int answer = win::MessageBoxA(record.OwnerWindow, text.c_str(), title.c_str(), MB_OK);
    if (answer > 0 || record.OwnerWindow == nullptr) {
        return answer;
    }
    // The installer's window may be gone or never have been one: the user
    // still sees the box, without an owner.
    return win::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK);
}

int SystemErrorBox(DWORD code, const char *leadingText) {
    LPSTR systemText = nullptr;
    win::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                        reinterpret_cast<LPSTR>(&systemText), 0, nullptr);
    std::string text = systemText != nullptr ? systemText : "";
    if (text.size() >= 2) {
        text.resize(text.size() - 2); // the closing carriage return and line feed
    }
    const std::string lead = leadingText != nullptr ? leadingText : "";
    char number[16];
    std::snprintf(number, sizeof number, "(%d)", static_cast<int>(code));
    const std::string message = lead + (leadingText != nullptr ? "\n" : "") + text + number;
    win::MessageBoxA(nullptr, message.c_str(), "Brevanta", MB_OK);
    if (systemText != nullptr) {
        win::LocalFree(systemText);
    }
    return 1;
}

} // namespace frame
