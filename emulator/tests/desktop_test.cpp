// The emulated machine's windows, processes and semaphores. Linux-only: each
// case sets up the desktop and its programs through the machine's control
// interface (what the seam alone shows is proven on both platforms by
// conformance/windows_test.cpp and processes_test.cpp).
#include <gtest/gtest.h>

#include "platform/kernel.h"
#include "platform/processes.h"
#include "platform/semaphores.h"
#include "platform/system.h"
#include "platform/user.h"
#include "platform/windows.h"
#include "support/machine_test.h"

namespace {

using Desktop = MachineTest;

TEST_F(Desktop, FindWindowMatchesTitleAndClassWithoutCaseTopmostFirst) {
    const HWND older = emu::createWindow("Synchronization", 0, "QuillaneFrame");
    const HWND newer = emu::createWindow("SYNCHRONIZATION", 0);
    EXPECT_EQ(win::FindWindowA(nullptr, "synchronization"), newer);
    EXPECT_EQ(win::FindWindowA("quillaneframe", "Synchronization"), older);
    EXPECT_EQ(win::FindWindowA(nullptr, "Synchronization Server"), nullptr);
    emu::destroyWindow(newer);
    EXPECT_EQ(win::FindWindowA(nullptr, "Synchronization"), older);
}

// The user a machine folder scripts closes the windows of its titles (the
// program behind one ends), then presses its button; the user of a fresh
// machine presses OK again.
TEST_F(Desktop, TheScriptedUserClosesItsTitlesThenAnswersUntilTheMachineIsFresh) {
    auto program = emu::startProcess("C:\\Program.exe");
    emu::createWindow("Main", program->id);
    const HWND lone = emu::createWindow("Lone", 0);
    const HWND kept = emu::createWindow("Kept", 0);
    emu::processes().user.scripted = emu::ScriptedAnswer{IDCANCEL, {"Main", "Lone"}};
    EXPECT_EQ(win::MessageBoxA(nullptr, "Close it", "Setup", MB_OK), IDCANCEL);
    EXPECT_TRUE(program->exited);
    EXPECT_EQ(emu::findWindow(lone), nullptr);
    EXPECT_NE(emu::findWindow(kept), nullptr);
    freshMachine();
    EXPECT_EQ(win::MessageBoxA(nullptr, "Close it", "Setup", MB_OK), IDOK);
}

TEST_F(Desktop, ProgramsReactOnTheVirtualClock) {
    auto program = emu::startProcess("C:\\Program.exe");
    const HWND main = emu::createWindow("Main", program->id);
    const HWND tray = emu::createWindow("Tray", program->id);
    emu::closeWindowOn(main, 0x101D, 500, true);

    EXPECT_TRUE(win::PostMessageA(main, WM_CLOSE, 0, 0)); // ignored
    EXPECT_TRUE(win::PostMessageA(main, 0x101D, 1, 0));
    win::Sleep(499);
    EXPECT_NE(emu::findWindow(main), nullptr);
    win::Sleep(1);
    // The process ended, and its other window with it.
    EXPECT_EQ(emu::findWindow(main), nullptr);
    EXPECT_EQ(emu::findWindow(tray), nullptr);
    EXPECT_TRUE(program->exited);
    EXPECT_FALSE(program->terminated);
    EXPECT_EQ(emu::messagesTo("Main").size(), 2u);

    EXPECT_FALSE(win::PostMessageA(main, WM_CLOSE, 0, 0));
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    DWORD processId = 99;
    EXPECT_EQ(win::GetWindowThreadProcessId(main, &processId), 0u);
    EXPECT_EQ(processId, 99u);
}

BOOL CALLBACK collectAndClose(HWND window, LPARAM seen) {
    reinterpret_cast<std::vector<HWND> *>(seen)->push_back(window);
    win::SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 1000, nullptr);
    return TRUE;
}

BOOL CALLBACK stopAtFirst(HWND, LPARAM) { return FALSE; }

TEST_F(Desktop, EnumWindowsSkipsWindowsThatGoDuringTheWalk) {
    auto program = emu::startProcess("C:\\Program.exe");
    const HWND bottom = emu::createWindow("Other", 0);
    emu::createWindow("Below", program->id);
    const HWND top = emu::createWindow("Top", program->id);
    // Closing the topmost window ends its program, and the window below.
    emu::closeWindowOn(top, WM_CLOSE, 0, true);
    std::vector<HWND> seen;
    EXPECT_TRUE(win::EnumWindows(collectAndClose, reinterpret_cast<LPARAM>(&seen)));
    EXPECT_EQ(seen, (std::vector<HWND>{top, bottom}));
    EXPECT_FALSE(win::EnumWindows(stopAtFirst, 0));
}

TEST_F(Desktop, OpeningAndEndingProcesses) {
    auto program = emu::startProcess("C:\\Program.exe");
    program->allowedAccess = SYNCHRONIZE;
    EXPECT_EQ(win::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, program->id), nullptr);
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    HANDLE process = win::OpenProcess(SYNCHRONIZE, FALSE, program->id);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(win::WaitForSingleObject(process, 100), WAIT_TIMEOUT);
    EXPECT_TRUE(win::TerminateProcess(process, 3));
    EXPECT_EQ(win::WaitForSingleObject(process, 0), WAIT_OBJECT_0);
    EXPECT_EQ(program->exitCode, 3u);
    EXPECT_FALSE(win::TerminateProcess(process, 0));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    win::CloseHandle(process);
    EXPECT_EQ(win::OpenProcess(SYNCHRONIZE, FALSE, program->id), nullptr);
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_PARAMETER);
}

// Linux-only: the virtual clock (a semaphore's counts, waits and names are
// conformance cases, conformance/processes_test.cpp).
TEST_F(Desktop, ATimedOutWaitRunsTheClockOnByItsTime) {
    HANDLE semaphore = win::CreateSemaphoreA(nullptr, 0, 1, nullptr);
    const std::uint64_t start = machine().kernel.clock.now();
    EXPECT_EQ(win::WaitForSingleObject(semaphore, 1), WAIT_TIMEOUT);
    EXPECT_EQ(machine().kernel.clock.now(), start + 1);
    win::CloseHandle(semaphore);
}

// Linux-only: a semaphore held by a program the machine is told of.
TEST_F(Desktop, SemaphoreHeldByAProgramLivesAsLongAsTheProgram) {
    auto program = emu::startProcess("C:\\Program.exe");
    emu::createSemaphore("ZEP", 0, 1, program->id);
    HANDLE held = win::CreateSemaphoreA(nullptr, 1, 1, "ZEP");
    EXPECT_EQ(win::GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(win::WaitForSingleObject(held, 1), WAIT_TIMEOUT);
    win::CloseHandle(held);
    emu::endProcess(program->id);
    HANDLE fresh = win::CreateSemaphoreA(nullptr, 1, 1, "ZEP");
    EXPECT_EQ(win::GetLastError(), ERROR_SUCCESS);
    win::CloseHandle(fresh);
}

} // namespace
