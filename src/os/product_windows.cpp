#include "os/product_windows.h"

#include "base/handles.h"
#include "base/mbtext.h"
#include "base/system_functions.h"
#include "platform/toolhelp.h"
#include "platform/windows.h"

namespace os {
namespace {

// Tool help, looked up at run time: Windows NT 4.0 has none.
struct ProcessList {
    decltype(&win::CreateToolhelp32Snapshot) snapshot =
        system_functions::Optional<decltype(&win::CreateToolhelp32Snapshot)>(
            "CreateToolhelp32Snapshot");
    decltype(&win::Process32First) first =
        system_functions::Optional<decltype(&win::Process32First)>("Process32First");
    decltype(&win::Process32Next) next =
        system_functions::Optional<decltype(&win::Process32Next)>("Process32Next");
    [[nodiscard]] bool available() const {
        return snapshot != nullptr && first != nullptr && next != nullptr;
    }
};

enum class Runs { Program, OtherProgram, Unknown };

// Whether the process runs the program: its file name (the last name of the
// path the Windows 95 family gives) compared without regard to case.
Runs processRuns(const ProcessList &list, DWORD processId, const char *program) {
    const handles::UniqueFileHandle snapshot(list.snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return Runs::Unknown;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = list.first(snapshot.get(), &entry); more != FALSE;
         more = list.next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID != processId) {
            continue;
        }
        entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
        const char *separator = mbtext::findLastChar(entry.szExeFile, '\\');
        const char *name = separator != nullptr ? separator + 1 : entry.szExeFile;
        return mbtext::compareNoCase(name, program) == 0 ? Runs::Program : Runs::OtherProgram;
    }
    return Runs::OtherProgram; // ended since, or never listed
}

} // namespace

HWND FindProductWindow(const char *title, const char *program) {
    const ProcessList list;
    for (HWND window = win::FindWindowExA(nullptr, nullptr, nullptr, title); window != nullptr;
         window = win::FindWindowExA(nullptr, window, nullptr, title)) {
        DWORD processId = 0;
        win::GetWindowThreadProcessId(window, &processId);
        const Runs runs = list.available() ? processRuns(list, processId, program) : Runs::Unknown;
        if (runs != Runs::OtherProgram) {
            return window;
        }
    }
    return nullptr;
}

void SendCloseWithTimeLimit(HWND window) {
    DWORD_PTR answer = 0;
    // The result only tells whether the window handled the request in time;
    // setup goes on either way.
    win::SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kCloseLimitMs,
                             &answer);
}

} // namespace os
