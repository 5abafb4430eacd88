// Stand-in of the product's programs for the Wine tests: shows a top-level
// window for each title on its command line and ends once all are closed.
//   --hold-zep              holds the client programs' semaphore "ZEP" while it runs
//   --ignore-close          ignores WM_CLOSE (a program that will not close)
//   --ignore-exit-request   ignores the client programs' exit request (0x101D)
//   --no-time-limit         runs until its windows are closed, however long
//                           (the product's programs that the host on Windows starts)
// A window closes, unless told otherwise, on the exit request and on
// WM_CLOSE. The windows stay hidden (FindWindowA and EnumWindows find hidden
// top-level windows alike): on the virtual display Wine delivers the messages
// of shown ones seconds late. The program exits with 5 when its windows are
// all closed, with 6 when they are all closed after it ignored an exit
// request, and with 3 when nobody closed them within a minute.
#include <windows.h>

#include <cstring>
#include <vector>

namespace {

constexpr UINT kExitRequest = 0x101D;
constexpr UINT kSafetyLimitMs = 60000;
constexpr int kClosedByRequest = 5;
constexpr int kClosedAfterIgnoringExitRequest = 6;
constexpr int kLeftRunning = 3;

int openWindows = 0;
bool ignoreClose = false;
bool ignoreExitRequest = false;
bool exitRequestIgnored = false;

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kExitRequest:
        if (ignoreExitRequest) {
            exitRequestIgnored = true;
        } else {
            DestroyWindow(window);
        }
        return 0;
    case WM_CLOSE:
        if (!ignoreClose) {
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        if (--openWindows == 0) {
            PostQuitMessage(exitRequestIgnored ? kClosedAfterIgnoringExitRequest
                                               : kClosedByRequest);
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int main(int argc, char **argv) {
    bool holdZep = false;
    bool timeLimit = true;
    std::vector<const char *> titles;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hold-zep") == 0) {
            holdZep = true;
        } else if (std::strcmp(argv[i], "--ignore-close") == 0) {
            ignoreClose = true;
        } else if (std::strcmp(argv[i], "--ignore-exit-request") == 0) {
            ignoreExitRequest = true;
        } else if (std::strcmp(argv[i], "--no-time-limit") == 0) {
            timeLimit = false;
        } else {
            titles.push_back(argv[i]);
        }
    }
    HANDLE semaphore = nullptr;
    if (holdZep) {
        semaphore = CreateSemaphoreA(nullptr, 1, 1, "ZEP");
        if (semaphore == nullptr || WaitForSingleObject(semaphore, 0) != WAIT_OBJECT_0) {
            return 2;
        }
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RadozavuProgramStandIn";
    RegisterClassA(&windowClass);
    for (const char *title : titles) {
        HWND window =
            CreateWindowExA(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, 0, 0, 200,
                            100, nullptr, nullptr, windowClass.hInstance, nullptr);
        if (window != nullptr) {
            ++openWindows;
        }
    }
    const UINT_PTR safety = timeLimit ? SetTimer(nullptr, 0, kSafetyLimitMs, nullptr) : 0;
    int exitCode = kLeftRunning;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (safety != 0 && message.message == WM_TIMER && message.hwnd == nullptr &&
            message.wParam == safety) {
            break;
        }
        DispatchMessageA(&message);
    }
    if (message.message == WM_QUIT) {
        exitCode = static_cast<int>(message.wParam);
    }
    if (semaphore != nullptr) {
        ReleaseSemaphore(semaphore, 1, nullptr);
        CloseHandle(semaphore);
    }
    return exitCode;
}
