// The restart of the computer on the emulated machine: the agent asked to
// close, the decision table, the "ExitWindows" mark, the privilege step and
// the debug log lines. Restart requests are journalled, never carried out.
#include <optional>
#include <string>

#include "emulator/system/calendar.h"
#include "platform/kernel.h"
#include "platform/profile.h"
#include "platform/shutdown.h"
#include "radozavu.h"
#include "support/machine_test.h"
#include "os/restart.h"

namespace {

constexpr const char *kMachinePreferences = "Software\\Brevanta\\Quillane\\Preferences";
constexpr const char *kUserReserved = "Software\\Brevanta\\Quillane\\Reserved";
constexpr const char *kInstallIni = "C:\\Program Files\\Brevanta\\Quillane\\QLNQUILL.INI";

class Restart : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        registry().create(HKEY_LOCAL_MACHINE, "Software");
        registry().create(HKEY_CURRENT_USER, "Software");
    }

    static void runsOn(DWORD platform, DWORD major, DWORD minor, const std::string &servicePack) {
        emu::VersionInfo &version = emu::machine().system.version;
        version.platform = platform;
        version.major = major;
        version.minor = minor;
        version.servicePack = servicePack;
    }

    static DWORD shutdownPrivilege() {
        return emu::machine().system.processToken.privileges.at("SeShutdownPrivilege");
    }

    static std::optional<DWORD> exitWindowsMark() {
        const emu::RegValue *value =
            emu::machine().registry.value(HKEY_CURRENT_USER, kUserReserved, "ExitWindows");
        if (value == nullptr || value->type != REG_DWORD || value->data.size() != 4) {
            return std::nullopt;
        }
        return value->data[0] | value->data[1] << 8 | value->data[2] << 16 | value->data[3] << 24;
    }
};

struct Row {
    const char *system;
    DWORD platform;
    DWORD major;
    DWORD minor;
    const char *servicePack;
    std::optional<DWORD> machineSetting; // "DisableSp6ShutdownWorkaround"
    std::optional<DWORD> userSetting;
    bool privilegeEnabled;
    bool workaround; // InitiateSystemShutdownA rather than ExitWindowsEx
};

TEST_F(Restart, TheDecisionTableChoosesThePrivilegeStepAndTheCall) {
    const Row rows[] = {
        {"Windows 95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, "", 0u, {}, false, false},
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, " A ", {}, {}, false, false},
        {"NT 3.51", VER_PLATFORM_WIN32_NT, 3, 51, "Service Pack 5", {}, {}, false, false},
        {"NT 4.0 SP5", VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 5", {}, {}, true, false},
        {"NT 4.0 no SP", VER_PLATFORM_WIN32_NT, 4, 0, "", {}, {}, true, false},
        {"NT 4.0 SP6", VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6", {}, {}, true, true},
        {"NT 4.0 SP6a", VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6a", 0u, {}, true, true},
        {"NT 4.0 sp6", VER_PLATFORM_WIN32_NT, 4, 0, "service pack 6", {}, {}, true, true},
        {"NT 4.0 SP6a off", VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6a", 1u, {}, true, false},
        {"NT 4.0 SP6 user on", VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6", 1u, 0u, true, true},
        {"NT 4.0 SP6 user off", VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6", {}, 7u, true, false},
        {"Windows 2000", VER_PLATFORM_WIN32_NT, 5, 0, "Service Pack 4", 0u, 0u, true, false},
        {"Windows XP", VER_PLATFORM_WIN32_NT, 5, 1, "Service Pack 6", {}, {}, true, false},
        {"Vista", VER_PLATFORM_WIN32_NT, 6, 0, "", {}, {}, true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.system);
        machine().system.restartRequests.clear();
        machine().system.processToken = {};
        registry().create(HKEY_LOCAL_MACHINE, kMachinePreferences)->values.clear();
        registry()
            .create(HKEY_CURRENT_USER, "Software\\Brevanta\\Quillane\\Preferences")
            ->values.clear();
        registry().create(HKEY_CURRENT_USER, kUserReserved)->values.clear();
        runsOn(row.platform, row.major, row.minor, row.servicePack);
        if (row.machineSetting) {
            registry().setDword(HKEY_LOCAL_MACHINE, kMachinePreferences,
                                "DisableSp6ShutdownWorkaround", *row.machineSetting);
        }
        if (row.userSetting) {
            registry().setDword(HKEY_CURRENT_USER, "Software\\Brevanta\\Quillane\\Preferences",
                                "DisableSp6ShutdownWorkaround", *row.userSetting);
        }

        EXPECT_EQ(HKSetupRebootComputer(nullptr), 0);

        EXPECT_EQ((shutdownPrivilege() & SE_PRIVILEGE_ENABLED) != 0, row.privilegeEnabled);
        EXPECT_EQ(exitWindowsMark(), 1u);
        ASSERT_EQ(machine().system.restartRequests.size(), 1u);
        const emu::RestartRequest &request = machine().system.restartRequests[0];
        if (row.workaround) {
            EXPECT_EQ(request.call, "InitiateSystemShutdownA");
            EXPECT_FALSE(request.machineName.has_value());
            EXPECT_FALSE(request.message.has_value());
            EXPECT_EQ(request.timeout, 0u);
            EXPECT_EQ(request.forceAppsClosed, FALSE);
            EXPECT_EQ(request.rebootAfterShutdown, TRUE);
        } else {
            EXPECT_EQ(request.call, "ExitWindowsEx");
            EXPECT_EQ(request.flags, EWX_REBOOT);
            EXPECT_EQ(request.reason, 0u);
        }
        // NT before 4.0 asks for no privilege, so its restart is refused.
        EXPECT_EQ(request.accepted, row.platform != VER_PLATFORM_WIN32_NT || row.privilegeEnabled);
    }
}

TEST_F(Restart, TheVersionTestsAnswerNoWhenTheVersionCannotBeRead) {
    runsOn(VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6");
    EXPECT_TRUE(os::IsWindowsNt4OrLater());
    EXPECT_TRUE(os::IsWindowsNt4Sp6OrLater());
    machine().system.version.queryFails = true;
    EXPECT_FALSE(os::IsWindowsNt4OrLater());
    EXPECT_FALSE(os::IsWindowsNt4Sp6OrLater());
}

TEST_F(Restart, TheMarkIsWrittenBeforeTheRequestEvenWhenTheRestartIsRefused) {
    machine().system.processToken.privileges.erase(
        "SeShutdownPrivilege"); // a user without the right
    std::optional<DWORD> markAtRequest;
    machine().system.onRestartRequest = [&](const emu::RestartRequest &) {
        markAtRequest = exitWindowsMark();
    };
    EXPECT_EQ(HKSetupRebootComputer(nullptr), 0);
    ASSERT_EQ(machine().system.restartRequests.size(), 1u);
    EXPECT_FALSE(machine().system.restartRequests[0].accepted);
    EXPECT_EQ(markAtRequest, 1u);
    EXPECT_EQ(machine().processes.user.cursor, nullptr) << "the wait cursor was put back";

    // A user key that cannot be written changes nothing else.
    machine().system.restartRequests.clear();
    machine().system.processToken = {};
    registry().create(HKEY_CURRENT_USER, kUserReserved)->values.clear();
    registry().find(HKEY_CURRENT_USER, "Software")->denyWrite = true;
    EXPECT_EQ(HKSetupRebootComputer(nullptr), 0);
    EXPECT_FALSE(exitWindowsMark().has_value());
    ASSERT_EQ(machine().system.restartRequests.size(), 1u);
    EXPECT_TRUE(machine().system.restartRequests[0].accepted);
}

TEST_F(Restart, TheAgentIsAskedToCloseBeforeTheRestart) {
    const DWORD program = emu::startProcess("C:\\Quillane\\QLNAGENT.EXE")->id;
    emu::createWindow("Quillane Agent - Status", program, "QlnTray");
    const HWND agent = emu::createWindow("Quillane Agent", program, "QlnAgentFrame");
    emu::closeWindowOn(agent, WM_CLOSE);
    std::size_t agentMessagesAtRequest = 99;
    machine().system.onRestartRequest = [&](const emu::RestartRequest &) {
        agentMessagesAtRequest = emu::messagesTo("Quillane Agent").size();
    };
    EXPECT_EQ(HKSetupRebootComputer(nullptr), 0);
    const auto received = emu::messagesTo("Quillane Agent");
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, WM_CLOSE);
    EXPECT_EQ(received[0].wParam, 0u);
    EXPECT_EQ(received[0].lParam, 0);
    EXPECT_TRUE(received[0].sent);
    EXPECT_EQ(received[0].timeLimitMs, 30000u);
    EXPECT_EQ(emu::findWindow(agent), nullptr);
    EXPECT_EQ(agentMessagesAtRequest, 1u);
    EXPECT_TRUE(emu::messagesTo("Quillane Agent - Status").empty());
    EXPECT_EQ(machine().system.restartRequests.size(), 1u);

    // With no agent running the restart goes ahead all the same.
    EXPECT_EQ(HKSetupRebootComputer(nullptr), 0);
    EXPECT_EQ(emu::messagesTo("Quillane Agent").size(), 1u);
    EXPECT_EQ(machine().system.restartRequests.size(), 2u);

    // A hung agent holds it up no longer than its program takes to be seen
    // as hung.
    emu::findWindow(emu::createWindow("Quillane Agent", program))->hung = true;
    const std::uint64_t start = machine().kernel.clock.now();
    EXPECT_EQ(HKSetupRebootComputer(nullptr), 0);
    EXPECT_EQ(emu::messagesTo("Quillane Agent").size(), 2u);
    EXPECT_LE(machine().kernel.clock.now() - start, 30000u);
    EXPECT_EQ(machine().system.restartRequests.size(), 3u);
}

TEST_F(Restart, EachStepIsLoggedInTheInstallFolder) {
    emu::setLocalTime(2006, 3, 7, 14, 5);
    writeFile(kInstallIni, "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n");
    HKSetupRebootComputer(nullptr);
    runsOn(VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6a");
    HKSetupRebootComputer(nullptr);
    const char *expected[] = {
        "EWX_REBOOT",
        "ExitWindowsEx(EWX_REBOOT)",
        "EWX_REBOOT",
        "NT4ServicePack6OrGreater InitiateSystemShutdown REBOOT",
    };
    EXPECT_EQ(win::GetPrivateProfileIntA("DebugIniMsgs", "LastLine", 0, kInstallIni), 4u);
    for (int line = 1; line <= 4; ++line) {
        char key[8];
        std::snprintf(key, sizeof key, "%03d", line);
        char text[256];
        win::GetPrivateProfileStringA("DebugIniMsgs", key, "", text, sizeof text, kInstallIni);
        EXPECT_EQ(std::string(text),
                  std::string("[Tue Mar 07 02:05 PM 2006] ") + expected[line - 1]);
    }
}

class AdjustProcessPrivilege : public MachineTest {};

TEST_F(AdjustProcessPrivilege, SetsAndClearsOnlyTheEnabledBit) {
    auto &privileges = machine().system.processToken.privileges;
    privileges["SeShutdownPrivilege"] = SE_PRIVILEGE_ENABLED_BY_DEFAULT;
    EXPECT_EQ(os::AdjustProcessPrivilege("SeShutdownPrivilege", TRUE, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(privileges["SeShutdownPrivilege"],
              SE_PRIVILEGE_ENABLED_BY_DEFAULT | SE_PRIVILEGE_ENABLED);
    EXPECT_EQ(os::AdjustProcessPrivilege("SeShutdownPrivilege", TRUE, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(privileges["SeShutdownPrivilege"],
              SE_PRIVILEGE_ENABLED_BY_DEFAULT | SE_PRIVILEGE_ENABLED);
    EXPECT_EQ(os::AdjustProcessPrivilege("SeShutdownPrivilege", FALSE, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(privileges["SeShutdownPrivilege"], SE_PRIVILEGE_ENABLED_BY_DEFAULT);
    // The process token it opened is closed again (checked after every test).
}

TEST_F(AdjustProcessPrivilege, UsesAGivenTokenAndLeavesItOpen) {
    HANDLE token = nullptr;
    ASSERT_TRUE(win::OpenProcessToken(win::GetCurrentProcess(),
                                      TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    EXPECT_EQ(os::AdjustProcessPrivilege("SeDebugPrivilege", TRUE, token), ERROR_SUCCESS);
    EXPECT_EQ(machine().system.processToken.privileges["SeDebugPrivilege"], SE_PRIVILEGE_ENABLED);
    EXPECT_EQ(emu::openHandleCount(), 1u);

    HANDLE adjustOnly = nullptr;
    ASSERT_TRUE(
        win::OpenProcessToken(win::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &adjustOnly));
    EXPECT_EQ(os::AdjustProcessPrivilege("SeDebugPrivilege", FALSE, adjustOnly),
              ERROR_ACCESS_DENIED); // the previous state needs TOKEN_QUERY
    EXPECT_TRUE(win::CloseHandle(token));
    EXPECT_TRUE(win::CloseHandle(adjustOnly));
}

TEST_F(AdjustProcessPrivilege, FailuresComeBackAsTheirErrorCodes) {
    EXPECT_EQ(os::AdjustProcessPrivilege("SeNoSuchPrivilege", TRUE, nullptr),
              ERROR_NO_SUCH_PRIVILEGE);
    machine().system.processToken.openRefused = true;
    EXPECT_EQ(os::AdjustProcessPrivilege("SeShutdownPrivilege", TRUE, nullptr),
              ERROR_ACCESS_DENIED);
    machine().system.processToken.openRefused = false;
    machine().system.version.platform = VER_PLATFORM_WIN32_WINDOWS; // no tokens at all
    EXPECT_EQ(os::AdjustProcessPrivilege("SeShutdownPrivilege", TRUE, nullptr),
              ERROR_CALL_NOT_IMPLEMENTED);

    // A privilege the token does not hold is not an error of the call.
    machine().system.version.platform = VER_PLATFORM_WIN32_NT;
    machine().system.processToken.privileges.erase("SeShutdownPrivilege");
    EXPECT_EQ(os::AdjustProcessPrivilege("SeShutdownPrivilege", TRUE, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(machine().system.processToken.privileges.count("SeShutdownPrivilege"), 0u);
}

} // namespace
