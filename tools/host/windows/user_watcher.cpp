#include "windows/user_watcher.h"

#include <algorithm>

#include "base/handles.h"

namespace host {
namespace {

constexpr DWORD kPollMs = 20;
constexpr const char *kSessionClass = "RadozavuHostSession";
constexpr UINT kFirstBox = 1;

std::string windowText(HWND window) {
    char text[2048] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Adds a shown dialog box of this process to the list at found.
BOOL CALLBACK addShownBox(HWND window, LPARAM found) {
    char className[16] = "";
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        GetClassNameA(window, className, sizeof className) != 0 &&
        lstrcmpA(className, "#32770") == 0) {
        reinterpret_cast<std::vector<HWND> *>(found)->push_back(window);
    }
    return TRUE;
}

// The dialog boxes of this process now shown.
std::vector<HWND> shownBoxes() {
    std::vector<HWND> boxes;
    EnumWindows(addShownBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

// The user ends the program that shows a window of this title, as the
// emulated user does, and waits until it has ended.
void endProgramOf(const std::string &title) {
    HWND window = FindWindowA(nullptr, title.c_str());
    DWORD id = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &id) == 0) {
        return;
    }
    const handles::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (process && TerminateProcess(process.get(), 0) != FALSE) {
        WaitForSingleObject(process.get(), kPatienceMs);
    }
}

} // namespace

BoxRecord readMessageBox(HWND box) {
    BoxRecord record;
    record.owner =
        static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(GetWindow(box, GW_OWNER)));
    record.title = windowText(box);
    char text[4096] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    record.text = text;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = "";
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child)) {
            record.buttons.push_back(windowText(child));
        }
    }
    return record;
}

UserWatcher::UserWatcher(bool allowRestart) : allowRestart_(allowRestart) {
    thread_ = std::thread([this] { watch(); });
    while (!ready_) {
        Sleep(1);
    }
}

UserWatcher::~UserWatcher() {
    stop_ = true;
    thread_.join();
}

void UserWatcher::setAnswer(int button, const std::vector<std::string> &closingTitles) {
    const std::lock_guard lock(mutex_);
    button_ = button;
    closingTitles_ = closingTitles;
}

std::vector<BoxRecord> UserWatcher::takeBoxes() {
    const std::lock_guard lock(mutex_);
    return std::exchange(boxes_, {});
}

std::vector<RestartRecord> UserWatcher::takeRestarts() {
    const std::lock_guard lock(mutex_);
    return std::exchange(restarts_, {});
}

bool UserWatcher::waitForSessionQuestion(DWORD limitMs) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < limitMs; Sleep(kPollMs)) {
        const std::lock_guard lock(mutex_);
        if (!restarts_.empty()) {
            return true;
        }
    }
    return false;
}

LRESULT CALLBACK UserWatcher::sessionProcedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message != WM_QUERYENDSESSION) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    auto *watcher = reinterpret_cast<UserWatcher *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    char request[96];
    wsprintfA(request, "the system asked to end the session (flags 0x%lx)",
              static_cast<unsigned long>(lParam));
    const std::lock_guard lock(watcher->mutex_);
    watcher->restarts_.push_back({request, watcher->allowRestart_ ? "let through (--allow-restart)"
                                                                  : "refused by the host"});
    return watcher->allowRestart_ ? TRUE : FALSE;
}

void UserWatcher::watch() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = sessionProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kSessionClass;
    RegisterClassA(&windowClass);
    // A top-level window, never shown: the system asks every top-level
    // window whether the session may end.
    HWND session = CreateWindowA(kSessionClass, "radozavu host", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);
    SetWindowLongPtrA(session, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ready_ = true;
    std::vector<HWND> answered;
    while (!stop_) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        const std::vector<HWND> boxes = shownBoxes();
        // A box answered a moment ago may still be closing.
        std::erase_if(answered, [&boxes](HWND box) {
            return std::find(boxes.begin(), boxes.end(), box) == boxes.end();
        });
        for (HWND box : boxes) {
            if (std::find(answered.begin(), answered.end(), box) == answered.end()) {
                answer(box);
                answered.push_back(box);
            }
        }
    }
    DestroyWindow(session);
    UnregisterClassA(kSessionClass, windowClass.hInstance);
}

void UserWatcher::answer(HWND box) {
    BoxRecord record = readMessageBox(box);
    int button = 0;
    std::vector<std::string> closing;
    {
        const std::lock_guard lock(mutex_);
        button = button_;
        closing = closingTitles_;
    }
    for (const std::string &title : closing) {
        endProgramOf(title);
    }
    // A box without the button asked for is answered with its first one,
    // and the record says which.
    HWND pressed = GetDlgItem(box, button);
    if (pressed == nullptr) {
        for (UINT id = kFirstBox; id <= IDCONTINUE && pressed == nullptr; ++id) {
            pressed = GetDlgItem(box, static_cast<int>(id));
            button = static_cast<int>(id);
        }
    }
    record.answer = button;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(pressed));
    const std::lock_guard lock(mutex_);
    boxes_.push_back(std::move(record));
}

namespace {

bool shutdownLuid(LUID &luid) {
    return LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid) != FALSE;
}

} // namespace

void clearShutdownPrivilege() {
    handles::UniqueHandle token;
    TOKEN_PRIVILEGES cleared{};
    cleared.PrivilegeCount = 1;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put()) != FALSE &&
        shutdownLuid(cleared.Privileges[0].Luid)) {
        AdjustTokenPrivileges(token.get(), FALSE, &cleared, 0, nullptr, nullptr);
    }
}

bool shutdownPrivilegeEnabled() {
    handles::UniqueHandle token;
    LUID shutdown{};
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) == FALSE ||
        !shutdownLuid(shutdown)) {
        return false;
    }
    alignas(TOKEN_PRIVILEGES) BYTE buffer[4096];
    DWORD size = 0;
    if (GetTokenInformation(token.get(), TokenPrivileges, buffer, sizeof buffer, &size) == FALSE) {
        return false;
    }
    const auto *privileges = reinterpret_cast<const TOKEN_PRIVILEGES *>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES &privilege = privileges->Privileges[i];
        if (privilege.Luid.LowPart == shutdown.LowPart &&
            privilege.Luid.HighPart == shutdown.HighPart) {
            return (privilege.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    return false;
}

} // namespace host
