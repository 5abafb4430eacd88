// The process token's privileges and the requests to end Windows, which
// Windows refuses without the shutdown privilege. No case ends anything: the
// privilege is switched off before a request is made, and a window of the
// user's refuses to let the session end.
#include <cstdint>

#include "case.h"
#include "platform/kernel.h"
#include "platform/shutdown.h"
#include "platform/system.h"
#include "standins.h"

namespace conformance {
namespace {

constexpr DWORD kShutdownLuid = 19; // Windows' own number for SeShutdownPrivilege

class Shutdown : public Case {
protected:
    void SetUp() override {
        Case::SetUp();
        ASSERT_TRUE(win::OpenProcessToken(win::GetCurrentProcess(),
                                          TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_));
    }
    void TearDown() override {
        EXPECT_TRUE(win::CloseHandle(token_));
        Case::TearDown();
    }
    // Sets the shutdown privilege's attributes; previous gets what the call
    // reports as changed.
    BOOL setShutdownPrivilege(DWORD attributes, TOKEN_PRIVILEGES &previous, DWORD &size) {
        TOKEN_PRIVILEGES wanted{};
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Luid = LUID{kShutdownLuid, 0};
        wanted.Privileges[0].Attributes = attributes;
        previous.PrivilegeCount = 0xdeadbeef;
        size = 0xdeadbeef;
        win::SetLastError(0xdeadbeef);
        return win::AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof previous, &previous,
                                          &size);
    }

    HANDLE token_ = nullptr;
};

TEST_F(Shutdown, TheCurrentProcessIsAPseudoHandleAndItsTokenOpens) {
    EXPECT_EQ(win::GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)));
    HANDLE token = nullptr;
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::OpenProcessToken(nullptr, TOKEN_QUERY, &token));
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(Shutdown, PrivilegesAreLookedUpByNameWithoutCase) {
    const struct {
        const char *name;
        DWORD luid; // 0: unknown
    } lookups[] = {
        {"SeShutdownPrivilege", kShutdownLuid},
        {"seshutdownprivilege", kShutdownLuid},
        {"SeDebugPrivilege", 20},
        {"SeNoSuchPrivilege", 0},
    };
    for (const auto &lookup : lookups) {
        SCOPED_TRACE(lookup.name);
        LUID luid{0xdeadbeef, 0x7eadbeef};
        win::SetLastError(0xdeadbeef);
        const BOOL found = win::LookupPrivilegeValueA(nullptr, lookup.name, &luid);
        EXPECT_EQ(found != FALSE, lookup.luid != 0);
        if (found) {
            EXPECT_EQ(luid.LowPart, lookup.luid);
            EXPECT_EQ(luid.HighPart, 0);
        } else {
            EXPECT_EQ(win::GetLastError(), DWORD{ERROR_NO_SUCH_PRIVILEGE});
        }
    }
}

TEST_F(Shutdown, APrivilegeChangeReportsOnlyWhatItChanged) {
    TOKEN_PRIVILEGES previous{};
    DWORD size = 0;
    const bool unchangedReported = knownWineDifference(
        "AdjustTokenPrivileges reports every privilege it was given in the previous state, "
        "changed or not");
    // From off: off again, on, on again, off.
    const struct {
        DWORD attributes;
        bool changes;
        bool enabledBefore;
    } steps[] = {
        {0, false, false},
        {SE_PRIVILEGE_ENABLED, true, false},
        {SE_PRIVILEGE_ENABLED, false, true},
        {0, true, true},
    };
    ASSERT_TRUE(setShutdownPrivilege(0, previous, size));
    for (const auto &step : steps) {
        SCOPED_TRACE(testing::Message() << step.attributes << " " << step.changes);
        ASSERT_TRUE(setShutdownPrivilege(step.attributes, previous, size));
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_SUCCESS});
        if (!step.changes && !unchangedReported) {
            EXPECT_EQ(previous.PrivilegeCount, 0u);
            EXPECT_EQ(size, sizeof(DWORD));
            continue;
        }
        ASSERT_EQ(previous.PrivilegeCount, 1u);
        EXPECT_EQ(size, sizeof(TOKEN_PRIVILEGES));
        EXPECT_EQ(previous.Privileges[0].Luid.LowPart, kShutdownLuid);
        EXPECT_EQ((previous.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED) != 0,
                  step.enabledBefore);
    }

    // The previous state is for a token that may be queried.
    HANDLE adjustOnly = nullptr;
    ASSERT_TRUE(
        win::OpenProcessToken(win::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &adjustOnly));
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid = LUID{kShutdownLuid, 0};
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(
        win::AdjustTokenPrivileges(adjustOnly, FALSE, &wanted, sizeof previous, &previous, &size));
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_TRUE(win::CloseHandle(adjustOnly));
}

TEST_F(Shutdown, EndingWindowsWithoutTheShutdownPrivilegeIsRefused) {
    standins::SessionGuard guard;
    TOKEN_PRIVILEGES previous{};
    DWORD size = 0;
    ASSERT_TRUE(setShutdownPrivilege(0, previous, size));
    ASSERT_TRUE(setShutdownPrivilege(0, previous, size));
    ASSERT_TRUE(previous.PrivilegeCount == 0 ||
                (previous.PrivilegeCount == 1 &&
                 (previous.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED) == 0))
        << "the shutdown privilege is still on";

    win::SetLastError(0xdeadbeef);
    const BOOL shutdown = win::InitiateSystemShutdownA(nullptr, nullptr, 0, FALSE, TRUE);
    if (knownWineDifference("InitiateSystemShutdownA is a stub: it takes every request and "
                            "does nothing")) {
        EXPECT_TRUE(shutdown);
    } else {
        EXPECT_FALSE(shutdown);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_PRIVILEGE_NOT_HELD});
    }
    win::SetLastError(0xdeadbeef);
    const BOOL exited = win::ExitWindowsEx(EWX_REBOOT, 0);
    if (knownWineDifference("ExitWindowsEx asks for no privilege: it asks the session's windows "
                            "whether the session may end")) {
        EXPECT_TRUE(exited);
        EXPECT_TRUE(guard.asked());
    } else {
        EXPECT_FALSE(exited);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_PRIVILEGE_NOT_HELD});
    }
}

} // namespace
} // namespace conformance
