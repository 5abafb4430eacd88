// The restart export of the real DLL, run in a Wine prefix of its own (this
// program gets one from run-under-wine.sh). Wine carries a restart request out
// by asking every window whether the session may end; a window of this
// program refuses, so the prefix keeps running and nothing is restarted, and
// its question shows that the restart was requested.
#include <gtest/gtest.h>

#include <atomic>

#include "wine_support.h"

namespace {

std::atomic<int> step{0};
std::atomic<int> endSessionAskedAt{0};

LRESULT CALLBACK observerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) {
        if (endSessionAskedAt == 0) {
            endSessionAskedAt = ++step;
        }
        return FALSE; // the session must not end
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createWindow(const char *className, const char *title, WNDPROC procedure) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowA(className, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                         windowClass.hInstance, nullptr);
}

// The attributes of the shutdown privilege in this process's token.
DWORD shutdownPrivilege() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    LUID shutdown{};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdown);
    alignas(TOKEN_PRIVILEGES) BYTE buffer[4096];
    DWORD size = 0;
    DWORD attributes = 0xFFFFFFFF;
    if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
        const auto *privileges = reinterpret_cast<const TOKEN_PRIVILEGES *>(buffer);
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
            const LUID &luid = privileges->Privileges[i].Luid;
            if (luid.LowPart == shutdown.LowPart && luid.HighPart == shutdown.HighPart) {
                attributes = privileges->Privileges[i].Attributes;
            }
        }
    }
    CloseHandle(token);
    return attributes;
}

void setShutdownPrivilege(DWORD attributes) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &wanted.Privileges[0].Luid);
    wanted.Privileges[0].Attributes = attributes;
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, 0, nullptr, nullptr));
    CloseHandle(token);
}

} // namespace

TEST(WineRestart, ClosesTheAgentMarksTheUserAndAsksWindowsToRestart) {
    const std::string reserved = "Software\\Brevanta\\Quillane\\Reserved";
    setShutdownPrivilege(0);
    ASSERT_EQ(shutdownPrivilege() & SE_PRIVILEGE_ENABLED, 0u);
    const HWND observer = createWindow("RestartObserver", "Restart observer", observerProcedure);
    ASSERT_NE(observer, nullptr);
    // The product's agent, a program of its own that closes when asked.
    wine::Program agent(wine::productProgram("QLNAGENT.EXE", "\"Quillane Agent\""));
    ASSERT_TRUE(agent.showsWindows({"Quillane Agent"}));

    wine::Library library;
    auto reboot = library->HKSetupRebootComputer;
    EXPECT_EQ(reboot(nullptr), 0);
    const int returnedAt = ++step;

    // The agent's window was closed before the export went on.
    EXPECT_EQ(FindWindowA(nullptr, "Quillane Agent"), nullptr);
    EXPECT_EQ(agent.exitCode(wine::kPatienceMs), 5u);
    DWORD mark = 0;
    EXPECT_TRUE(wine::readDword(HKEY_CURRENT_USER, reserved, "ExitWindows", mark));
    EXPECT_EQ(mark, 1u);
    EXPECT_NE(shutdownPrivilege() & SE_PRIVILEGE_ENABLED, 0u);

    // The request reaches this program's window as the question whether the
    // session may end; refused, Windows keeps running.
    const DWORD start = GetTickCount();
    while (endSessionAskedAt == 0 && GetTickCount() - start < wine::kPatienceMs) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
    EXPECT_GT(endSessionAskedAt, returnedAt) << "no restart was requested";
    DestroyWindow(observer);
    wine::deleteTree(HKEY_CURRENT_USER, "Software\\Brevanta");
}
