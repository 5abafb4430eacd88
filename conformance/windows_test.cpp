// Top-level windows of a running program: found by title and class, walked,
// told apart by process, and closed by the messages they get.
#include <algorithm>
#include <vector>

#include "case.h"
#include "platform/processes.h"
#include "platform/system.h"
#include "platform/windows.h"
#include "standins.h"

namespace conformance {
namespace {

constexpr DWORD kPatienceMs = 60000;
constexpr const char *kMain = "RADOZAVU Conformance Main";
constexpr const char *kTray = "RADOZAVU Conformance Tray";

using Windows = Case;

TEST_F(Windows, AWindowIsFoundByTitleAndClassWithoutCase) {
    const standins::Program program({kMain});
    ASSERT_TRUE(program.shown());
    const HWND window = win::FindWindowA(nullptr, kMain);
    ASSERT_NE(window, nullptr);
    const struct {
        const char *className;
        const char *title;
        bool found;
    } finds[] = {
        {nullptr, "radozavu conformance main", true},
        {"radozavuprogramstandin", kMain, true},
        {standins::kProgramClass, "RADOZAVU Conformance", false},
        {"RadozavuNoSuchClass", kMain, false},
    };
    for (const auto &find : finds) {
        SCOPED_TRACE(find.title);
        EXPECT_EQ(win::FindWindowA(find.className, find.title), find.found ? window : nullptr);
    }
}

// Every top-level window of a title is met once, walking on from the one
// found before; the walk ends in null.
TEST_F(Windows, TheWindowsOfATitleAreFoundOneAfterTheOther) {
    const standins::Program first({kMain});
    const standins::Program second({kMain, kTray});
    ASSERT_TRUE(first.shown());
    ASSERT_TRUE(second.shown());
    std::vector<DWORD> owners;
    for (HWND window = win::FindWindowExA(nullptr, nullptr, nullptr, kMain); window != nullptr;
         window = win::FindWindowExA(nullptr, window, nullptr, kMain)) {
        DWORD processId = 0;
        win::GetWindowThreadProcessId(window, &processId);
        owners.push_back(processId);
    }
    std::sort(owners.begin(), owners.end());
    std::vector<DWORD> expected = {first.id(), second.id()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(owners, expected);
    EXPECT_EQ(win::FindWindowExA(nullptr, nullptr, nullptr, kMain),
              win::FindWindowA(nullptr, kMain));
}

BOOL CALLBACK collectWindowsOfProcess(HWND window, LPARAM found) {
    auto *windows = reinterpret_cast<std::vector<std::pair<HWND, DWORD>> *>(found);
    DWORD processId = 0;
    if (win::GetWindowThreadProcessId(window, &processId) != 0) {
        windows->emplace_back(window, processId);
    }
    return TRUE;
}

BOOL CALLBACK stopAtFirst(HWND, LPARAM) { return FALSE; }

TEST_F(Windows, TheWalkMeetsEveryWindowWithItsProcess) {
    const standins::Program program({kMain, kTray});
    ASSERT_TRUE(program.shown());
    std::vector<std::pair<HWND, DWORD>> walked;
    EXPECT_TRUE(win::EnumWindows(collectWindowsOfProcess, reinterpret_cast<LPARAM>(&walked)));
    for (const char *title : {kMain, kTray}) {
        const std::pair<HWND, DWORD> expected{win::FindWindowA(nullptr, title), program.id()};
        EXPECT_EQ(std::count(walked.begin(), walked.end(), expected), 1) << title;
    }
    EXPECT_FALSE(win::EnumWindows(stopAtFirst, 0));
}

TEST_F(Windows, AWindowsThreadAndProcessAreKnownWhileItLasts) {
    const standins::Program program({kMain});
    ASSERT_TRUE(program.shown());
    DWORD processId = 0xdeadbeef;
    EXPECT_NE(win::GetWindowThreadProcessId(win::FindWindowA(nullptr, kMain), &processId), 0u);
    EXPECT_EQ(processId, program.id());
    EXPECT_NE(win::GetWindowThreadProcessId(win::FindWindowA(nullptr, kMain), nullptr), 0u);
}

TEST_F(Windows, ClosingMessagesEndTheProgramWithItsWindows) {
    const struct {
        UINT message;
        bool sent;
    } closings[] = {
        {WM_CLOSE, false},
        {standins::kExitRequest, false},
        {WM_CLOSE, true},
    };
    for (const auto &closing : closings) {
        SCOPED_TRACE(testing::Message() << closing.message << (closing.sent ? " sent" : " posted"));
        const standins::Program program({kMain});
        ASSERT_TRUE(program.shown());
        const HWND window = win::FindWindowA(nullptr, kMain);
        if (closing.sent) {
            DWORD_PTR answer = 0xdeadbeef;
            EXPECT_NE(win::SendMessageTimeoutA(window, closing.message, 0, 0, SMTO_ABORTIFHUNG,
                                               kPatienceMs, &answer),
                      0);
            EXPECT_EQ(answer, 0u);
            // A sent message has been handled when the call returns.
            EXPECT_EQ(win::FindWindowA(nullptr, kMain), nullptr);
        } else {
            EXPECT_TRUE(win::PostMessageA(window, closing.message, 1, 0));
        }
        EXPECT_EQ(win::WaitForSingleObject(program.process(), kPatienceMs), WAIT_OBJECT_0);
        EXPECT_EQ(win::FindWindowA(nullptr, kMain), nullptr);

        // Its handle now names no window.
        win::SetLastError(0xdeadbeef);
        EXPECT_FALSE(win::PostMessageA(window, WM_CLOSE, 0, 0));
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_WINDOW_HANDLE});
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 100, nullptr), 0);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_WINDOW_HANDLE});
        DWORD processId = 0xdeadbeef;
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::GetWindowThreadProcessId(window, &processId), 0u);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_WINDOW_HANDLE});
    }
}

} // namespace
} // namespace conformance
