// The stand-ins on Windows or under Wine: the stand-in programs and the
// library built beside the suite, services registered with the system's
// service control manager, the suite's own string table, and a watcher on a
// thread of its own for message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform.h"
#include "standins.h"
#include "wine_support.h"

namespace conformance::standins {
namespace {

// A stand-in built in the build folder, the one above the suite's own.
std::string builtFile(const char *name) { return wine::programFolder() + "..\\" + name; }

} // namespace

std::string programFile() { return builtFile("program_standin.exe"); }

bool showsWindows(DWORD processId, const std::vector<std::string> &titles) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < wine::kPatienceMs;) {
        std::size_t shown = 0;
        for (const std::string &title : titles) {
            const HWND window = FindWindowA(kProgramClass, title.c_str());
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            shown += window != nullptr && owner == processId ? 1 : 0;
        }
        if (shown == titles.size()) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

std::string libraryFile() { return builtFile("ZepProj.dll"); }

// As built: a folder of the build folder, loaded from there, since a
// library still loaded cannot be deleted with the scratch folder.
std::string importingLibrary() { return builtFile("importing\\Rezedev.dll"); }

// The suite's own table (strings.rc).
HINSTANCE stringModule() { return GetModuleHandleA(nullptr); }

namespace {

// Set to let every stand-in service stop (tests/wine/programs/service_standin.cpp).
constexpr const char *kReleaseEvent = "RadozavuServiceStandInRelease";

DWORD stateOf(SC_HANDLE service) {
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

bool reaches(SC_HANDLE service, DWORD state) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < wine::kPatienceMs;) {
        if (stateOf(service) == state) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

} // namespace

struct Service::State {
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = nullptr;
    HANDLE release = nullptr;
};

Service::Service(const char *name, ServiceOptions options) : state_(new State) {
    state_->release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
    ResetEvent(state_->release);
    state_->manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    const std::string record = platform::scratchFolder() + "\\" + name + ".txt";
    const std::string commandLine = "\"" + builtFile("service_standin.exe") + "\" " +
                                    std::string(name) + " \"" + record + "\" " +
                                    (options.refuseStop ? "refuse" : "prompt");
    std::string dependencies = options.dependsOn != nullptr ? options.dependsOn : "";
    dependencies.push_back('\0'); // a list of names, closed by an empty one
    state_->service = CreateServiceA(
        state_->manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, commandLine.c_str(), nullptr, nullptr,
        options.dependsOn != nullptr ? dependencies.c_str() : nullptr, nullptr, nullptr);
    EXPECT_NE(state_->service, nullptr) << name << ": " << GetLastError();
    if (state_->service != nullptr && options.started) {
        EXPECT_TRUE(StartServiceA(state_->service, 0, nullptr) &&
                    reaches(state_->service, SERVICE_RUNNING))
            << name << " did not start";
    }
}

Service::~Service() {
    SetEvent(state_->release);
    if (state_->service != nullptr) {
        EXPECT_TRUE(reaches(state_->service, SERVICE_STOPPED)) << "a service did not stop";
        DeleteService(state_->service);
        CloseServiceHandle(state_->service);
    }
    CloseServiceHandle(state_->manager);
    CloseHandle(state_->release);
}

struct BoxAnswer::State {
    explicit State(const std::string &title) : watcher(title) {}
    wine::BoxWatcher watcher;
};

BoxAnswer::BoxAnswer(const std::string &title) : state_(new State(title)) {}

BoxAnswer::~BoxAnswer() = default;

std::string BoxAnswer::text() { return state_->watcher.finish().text; }

namespace {

std::atomic<bool> sessionEndAsked{false};

LRESULT CALLBACK guardProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) {
        sessionEndAsked = true;
        return FALSE; // the session must not end
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

// The guard's window lives on a thread of its own that answers its messages
// at once, whatever the case's thread is doing.
struct SessionGuard::State {
    std::thread thread;
    std::atomic<DWORD> threadId{0};
};

SessionGuard::SessionGuard() : state_(new State) {
    sessionEndAsked = false;
    std::atomic<bool> ready{false};
    state_->thread = std::thread([this, &ready] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = guardProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "RadozavuSessionGuard";
        RegisterClassA(&windowClass);
        const HWND window =
            CreateWindowA(windowClass.lpszClassName, "Session guard", WS_OVERLAPPEDWINDOW, 0, 0,
                          100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
        state_->threadId = GetCurrentThreadId();
        ready = true;
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
        DestroyWindow(window);
    });
    while (!ready) {
        Sleep(1);
    }
}

SessionGuard::~SessionGuard() {
    PostThreadMessageA(state_->threadId, WM_QUIT, 0, 0);
    state_->thread.join();
}

bool SessionGuard::asked() {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < wine::kPatienceMs;) {
        if (sessionEndAsked) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

} // namespace conformance::standins
