// Finding and closing the product's running programs: the system check, the
// client programs behind the semaphore "ZEP", and the server components.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "platform/user.h"
#include "radozavu.h"
#include "support/machine_test.h"

namespace {

constexpr UINT kExitRequest = 0x101D;
constexpr const char *kSync = "Synchronization";
constexpr const char *kManager = "Quillane - Project Manager";
constexpr const char *kPreferences = "Software\\Brevanta\\Quillane\\Preferences";
const std::string kRunningText = "Setup has determined that an instance of Quillane application "
                                 "is currently running...\nPlease close the application and "
                                 "restart installation.";
const std::string kUnsupportedText = "Quillane cannot be installed on this operating system.";
const std::string kServicePackText =
    "It is recommended that you upgrade your NT workstation to Sevice Pack 3 or higher for "
    "Quillane to run properly.\nYou can continue the installation now, and upgrade to the "
    "Service Pack 3 or higher later.";

class RunningApps : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        record_.OwnerWindow = reinterpret_cast<HWND>(0x4242);
    }

    static std::vector<std::string> boxTexts() {
        std::vector<std::string> texts;
        for (const auto &box : machine().processes.user.messageBoxes) {
            texts.push_back(box.text);
        }
        return texts;
    }
    static std::uint64_t now() { return machine().kernel.clock.now(); }
    static void setVersion(DWORD platform, DWORD major, const std::string &servicePack) {
        machine().system.version.platform = platform;
        machine().system.version.major = major;
        machine().system.version.minor = 0;
        machine().system.version.servicePack = servicePack;
    }
    // A client program holding "ZEP", with the windows it shows.
    std::shared_ptr<emu::Process> startClient() {
        auto client = emu::startProcess("C:\\Program Files\\Brevanta\\Quillane\\QLNCLIENT.EXE");
        emu::createSemaphore("ZEP", 0, 1, client->id);
        return client;
    }
    static void setAskUser(DWORD value) {
        registry().setDword(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", value);
    }
    // The user closes one window at each box, in this order.
    static void userClosesOneWindowPerBox(std::vector<HWND> windows) {
        machine().processes.user.responder =
            [windows, next = std::size_t{0}](const emu::MessageBoxRecord &) mutable {
                if (next < windows.size()) {
                    emu::destroyWindow(windows[next++]);
                }
                return IDOK;
            };
    }

    SetupCallRecord record_{};
};

TEST_F(RunningApps, WindowsNt4BelowServicePack3IsWarnedAndGoesOn) {
    struct Case {
        const char *servicePack;
        bool warned;
    };
    for (const Case &c : {Case{"", true}, Case{"Service Pack 2", true},
                          Case{"Service Pack 1a", true}, Case{"Service Pack 3", false},
                          Case{"service pack 3", false}, Case{"Service Pack 6", false}}) {
        SCOPED_TRACE(c.servicePack);
        machine().processes.user.messageBoxes.clear();
        setVersion(VER_PLATFORM_WIN32_NT, 4, c.servicePack);
        EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
        EXPECT_EQ(HKServerSetupFindRunningApps(&record_), 0);
        const std::vector<std::string> expected(c.warned ? 2 : 0, kServicePackText);
        EXPECT_EQ(boxTexts(), expected);
    }
    // Later versions are not asked for a service pack.
    machine().processes.user.messageBoxes.clear();
    setVersion(VER_PLATFORM_WIN32_NT, 5, "");
    EXPECT_EQ(HKServerSetupFindRunningApps(&record_), 0);
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(RunningApps, UnsupportedSystemsStopSetupWithTheInstallerBox) {
    // The Windows 95 family runs the client but not the server.
    setVersion(VER_PLATFORM_WIN32_WINDOWS, 4, "");
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_EQ(HKServerSetupFindRunningApps(&record_), 1);
    ASSERT_EQ(boxTexts(), std::vector<std::string>{kUnsupportedText});
    const emu::MessageBoxRecord &box = machine().processes.user.messageBoxes[0];
    EXPECT_EQ(box.owner, record_.OwnerWindow);
    EXPECT_EQ(box.caption, "Quillane Installation");
    EXPECT_EQ(box.style, MB_OK);

    for (auto [platform, major] :
         {std::pair{VER_PLATFORM_WIN32_NT, 3u}, std::pair{VER_PLATFORM_WIN32_WINDOWS, 3u},
          std::pair{VER_PLATFORM_WIN32s, 4u}}) {
        machine().processes.user.messageBoxes.clear();
        setVersion(platform, major, "");
        EXPECT_EQ(HKSetupFindRunningApps(&record_), 1);
        EXPECT_EQ(HKServerSetupFindRunningApps(&record_), 1);
        EXPECT_EQ(boxTexts(), (std::vector<std::string>{kUnsupportedText, kUnsupportedText}));
    }

    machine().processes.user.messageBoxes.clear();
    machine().system.version.queryFails = true;
    EXPECT_EQ(HKSetupFindRunningApps(nullptr), 1);
    ASSERT_EQ(boxTexts(), std::vector<std::string>{kUnsupportedText});
    EXPECT_EQ(machine().processes.user.messageBoxes[0].owner, nullptr); // no record, no owner
}

TEST_F(RunningApps, WaitCursorIsShownAndRestored) {
    HCURSOR during = nullptr;
    machine().processes.user.responder = [&during](const emu::MessageBoxRecord &) {
        during = machine().processes.user.cursor;
        return IDOK;
    };
    setVersion(VER_PLATFORM_WIN32_NT, 3, "");
    const HCURSOR before = machine().processes.user.cursor;
    HKServerSetupFindRunningApps(&record_);
    EXPECT_EQ(during, win::LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_EQ(machine().processes.user.cursor, before);
}

TEST_F(RunningApps, FreeSemaphoreMeansNoClientRuns) {
    emu::createWindow(kSync, 0); // some other program's window
    const std::uint64_t start = now();
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_EQ(now(), start);
    EXPECT_TRUE(machine().processes.desktop.messages.empty());
    EXPECT_TRUE(boxTexts().empty());
    // Taken and given back at once: the semaphore is as free as before.
    auto free = emu::createSemaphore("ZEP", 1, 1);
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_EQ(free->count, 1);
}

TEST_F(RunningApps, ClientWithoutWindowsIsNeitherReportedNorClosed) {
    auto client = startClient();
    setAskUser(0);
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    setAskUser(1);
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_FALSE(client->exited);
}

TEST_F(RunningApps, UserIsAskedAgainAfterEachOkUntilBothWindowsAreGone) {
    auto client = startClient();
    const HWND sync = emu::createWindow(kSync, client->id);
    const HWND manager = emu::createWindow(kManager, client->id);
    userClosesOneWindowPerBox({nullptr, sync, manager}); // the first OK closes nothing
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_EQ(boxTexts(), std::vector<std::string>(3, kRunningText));
    EXPECT_EQ(machine().processes.user.messageBoxes[0].owner, record_.OwnerWindow);
    EXPECT_TRUE(machine().processes.desktop.messages.empty()); // the user closes them, not setup

    // Any switch value but a machine-wide REG_DWORD 0 asks the user.
    registry().setString(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", "0");
    registry().setDword(HKEY_CURRENT_USER, kPreferences, "AllowRequestUserCloseApp", 0);
    machine().processes.user.messageBoxes.clear();
    userClosesOneWindowPerBox({emu::createWindow(kManager, client->id)});
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kRunningText});
}

// A box that cannot have the installer's window as owner is shown without
// one. When none can be shown at all, setup still waits for both windows to
// go, but looks for them every 500 ms instead of spinning, and says so in
// the debug log.
TEST_F(RunningApps, BoxesThatCannotBeShownNeverMakeTheWaitSpin) {
    struct Case {
        const char *name;
        bool ownerIsNoWindow;
        bool noDisplay;
        std::vector<HWND> expectedOwners; // of every attempted box, in order
        bool polled;
    };
    const HWND owner = record_.OwnerWindow;
    for (const Case &c : {Case{"owner is no window", true, false, {owner, nullptr}, false},
                          Case{"no display", false, true, {owner, nullptr}, true}}) {
        SCOPED_TRACE(c.name);
        freshMachine();
        record_.OwnerWindow = owner;
        writeFile("C:\\WINDOWS\\QLNQUILL.INI", "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n");
        machine().processes.user.ownerMustBeWindow = c.ownerIsNoWindow;
        machine().processes.user.messageBoxFails = c.noDisplay;
        auto client = startClient();
        const HWND sync = emu::createWindow(kSync, client->id);
        const HWND manager = emu::createWindow(kManager, client->id);
        const std::uint64_t start = now();
        if (c.noDisplay) { // the user closes the program without being asked
            machine().kernel.clock.schedule(start + 3000, [sync] { emu::destroyWindow(sync); });
            machine().kernel.clock.schedule(start + 7000,
                                            [manager] { emu::destroyWindow(manager); });
        } else {
            userClosesOneWindowPerBox({sync, manager});
        }
        EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);

        std::vector<HWND> owners;
        for (const auto &box : machine().processes.user.messageBoxes) {
            owners.push_back(box.owner);
        }
        const std::size_t shown = c.polled ? 0 : 2; // two OKs close the two windows
        std::vector<HWND> expected = c.expectedOwners;
        for (std::size_t i = 1; i < shown; ++i) {
            expected.insert(expected.end(), c.expectedOwners.begin(), c.expectedOwners.end());
        }
        EXPECT_EQ(owners, expected);
        char line[512] = "";
        win::GetPrivateProfileStringA("DebugIniMsgs", "001", "", line, sizeof line,
                                      "C:\\WINDOWS\\QLNQUILL.INI");
        if (c.polled) {
            EXPECT_GE(now() - start, 7000u);
            EXPECT_LT(now() - start, 7500u);
            EXPECT_NE(std::string(line).find("HKSetupFindRunningApps: no message box can be "
                                             "shown; waiting for the program to close, looking "
                                             "every 500 ms"),
                      std::string::npos)
                << line;
        } else {
            EXPECT_LT(now() - start, 500u); // no pause
            EXPECT_STREQ(line, "");
        }
    }
}

TEST_F(RunningApps, ProgramsAskedToExitCloseOneWindowAfterTheOther) {
    auto client = startClient();
    setAskUser(0);
    const HWND sync = emu::createWindow(kSync, client->id);
    const HWND manager = emu::createWindow(kManager, client->id);
    emu::closeWindowOn(sync, kExitRequest, 250);
    emu::closeWindowOn(manager, kExitRequest, 40, true);
    const std::uint64_t start = now();

    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    const auto toSync = emu::messagesTo(kSync);
    const auto toManager = emu::messagesTo(kManager);
    ASSERT_EQ(toSync.size(), 1u);
    ASSERT_EQ(toManager.size(), 1u);
    EXPECT_EQ(toSync[0].message, kExitRequest);
    EXPECT_EQ(toSync[0].wParam, 1u);
    EXPECT_EQ(toSync[0].lParam, 0);
    EXPECT_FALSE(toSync[0].sent);
    // The second request follows once the first window is gone, and a pause.
    EXPECT_GE(toManager[0].at, toSync[0].at + 250 + 10);
    EXPECT_LE(toManager[0].at, toSync[0].at + 250 + 20);
    EXPECT_EQ(toManager[0].message, kExitRequest);
    EXPECT_TRUE(client->exited);
    EXPECT_LE(now() - start, 320u);
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(RunningApps, OnlyTheWindowsPresentGetTheExitRequest) {
    auto client = startClient();
    setAskUser(0);
    emu::closeWindowOn(emu::createWindow(kManager, client->id), kExitRequest);
    const std::uint64_t start = now();
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_TRUE(emu::messagesTo(kSync).empty());
    ASSERT_EQ(emu::messagesTo(kManager).size(), 1u);
    // The 1 ms semaphore wait, then the pause between the windows.
    EXPECT_EQ(emu::messagesTo(kManager)[0].at, start + 1 + 10);

    // The title follows the display name read when the library was loaded.
    registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName", "Quillane Pro");
    reloadLibrary();
    emu::closeWindowOn(emu::createWindow("Quillane Pro - Project Manager", client->id),
                       kExitRequest);
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_EQ(emu::messagesTo("Quillane Pro - Project Manager").size(), 1u);
}

TEST_F(RunningApps, ProgramIgnoringTheExitRequestIsLeftToTheUserAfter30Seconds) {
    auto client = startClient();
    setAskUser(0);
    const HWND sync = emu::createWindow(kSync, client->id);
    const HWND manager = emu::createWindow(kManager, client->id);
    emu::closeWindowOn(manager, kExitRequest);
    std::vector<std::uint64_t> boxTimes;
    machine().processes.user.responder = [&boxTimes, sync](const emu::MessageBoxRecord &) {
        boxTimes.push_back(machine().kernel.clock.now());
        if (boxTimes.size() == 2) {
            emu::destroyWindow(sync); // the user closes it at the second box
        }
        return IDOK;
    };
    const std::uint64_t start = now();

    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_EQ(boxTexts(), std::vector<std::string>(2, kRunningText));
    ASSERT_EQ(boxTimes.size(), 2u);
    EXPECT_GE(boxTimes[0] - start, 30000u);
    EXPECT_LE(boxTimes[0] - start, 30020u);
    // The project manager window still gets its own request afterwards.
    EXPECT_EQ(emu::messagesTo(kManager).size(), 1u);
}

TEST_F(RunningApps, UnusableSemaphoreNameLetsSetupGoOn) {
    struct OtherObject : emu::KernelObject {};
    auto other = std::make_shared<OtherObject>();
    emu::nameObject("ZEP", other);
    const HWND sync = emu::createWindow(kSync, 0);
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);

    auto guarded = emu::createSemaphore("ZEP", 0, 1);
    guarded->deniesAccess = true;
    setAskUser(0);
    EXPECT_EQ(HKSetupFindRunningApps(&record_), 0);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_TRUE(machine().processes.desktop.messages.empty());
    EXPECT_NE(emu::findWindow(sync), nullptr);
}

// The server components: console and agent windows, two services.
class ServerApps : public RunningApps {
protected:
    static constexpr const char *kConsole = "Quillane Synchronization Server Console 5.0";
    static constexpr const char *kAgent = "Quillane Synchronization Server Agent 5.0";
    static emu::ServiceManager &scm() { return machine().services; }
    static std::shared_ptr<emu::Process> console() {
        return emu::startProcess("C:\\Server\\QLNSRVCON.EXE");
    }
    static std::shared_ptr<emu::Process> agent() {
        return emu::startProcess("C:\\Server\\QLNSRVAGT.EXE");
    }
};

TEST_F(ServerApps, AnyWindowOrRunningServiceCounts) {
    scm().add("QLNSyncServer50", SERVICE_STOPPED);
    scm().add("QLNAlert50", SERVICE_STOPPED);
    EXPECT_EQ(HKSetupAreThereAnyRunningServerApps(nullptr), 0);

    scm().find("QLNAlert50")->state = SERVICE_RUNNING;
    EXPECT_EQ(HKSetupAreThereAnyRunningServerApps(nullptr), 1);

    scm().find("QLNAlert50")->state = SERVICE_STOPPED;
    const HWND agentWindow = emu::createWindow(kAgent, agent()->id);
    EXPECT_EQ(HKSetupAreThereAnyRunningServerApps(nullptr), 1);
    emu::destroyWindow(agentWindow);
    emu::createWindow(kConsole, console()->id);
    scm().controls.clear();
    EXPECT_EQ(HKSetupAreThereAnyRunningServerApps(nullptr), 1);
    // All four are looked at, even when the first already answers.
    EXPECT_EQ(scm().controlled(SERVICE_CONTROL_INTERROGATE),
              (std::vector<std::string>{"QLNSyncServer50", "QLNAlert50"}));
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(ServerApps, WindowProcessesEndWithin100MsOrAreTerminated) {
    auto console = ServerApps::console();
    const HWND consoleWindow = emu::createWindow(kConsole, console->id);
    emu::closeWindowOn(consoleWindow, WM_CLOSE, 60, true);
    auto agent = ServerApps::agent();
    emu::createWindow(kAgent, agent->id);
    emu::createWindow("Agent Tray", agent->id);
    emu::createWindow("Unrelated", emu::startProcess("C:\\Other.exe")->id);

    EXPECT_EQ(HKSetupStopRunningServerApps(nullptr), 0);
    EXPECT_TRUE(console->exited);
    EXPECT_FALSE(console->terminated);
    EXPECT_TRUE(agent->terminated);
    EXPECT_EQ(agent->exitCode, 0u);
    // Every window of each process was asked to close; none was gone by the
    // second look, so none got WM_CLOSE sent.
    for (const char *title : {kConsole, kAgent, "Agent Tray"}) {
        const auto messages = emu::messagesTo(title);
        ASSERT_EQ(messages.size(), 1u) << title;
        EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_CLOSE));
        EXPECT_FALSE(messages[0].sent);
    }
    EXPECT_TRUE(emu::messagesTo("Unrelated").empty());
}

TEST_F(ServerApps, WindowWhoseProcessCannotBeClosedGetsWmCloseSent) {
    auto guarded = console();
    guarded->allowedAccess = SYNCHRONIZE; // no right to terminate it
    emu::createWindow(kConsole, guarded->id);
    auto hung = agent();
    hung->allowedAccess = SYNCHRONIZE;
    emu::findWindow(emu::createWindow(kAgent, hung->id))->hung = true;

    EXPECT_EQ(HKSetupStopRunningServerApps(nullptr), 0);
    EXPECT_FALSE(guarded->exited);
    for (const char *title : {kConsole, kAgent}) {
        const auto messages = emu::messagesTo(title);
        ASSERT_EQ(messages.size(), 1u) << title;
        EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_CLOSE));
        EXPECT_TRUE(messages[0].sent);
        EXPECT_EQ(messages[0].timeLimitMs, 30000u) << title;
    }
}

// A window bearing a title of the product is the product's only when its
// process runs the product's program: windows of another program are not
// counted, asked to close or ended, by the server exports and the restart
// alike. Where Windows cannot list its processes (NT 4.0) they are taken
// for the product's, as setup always did.
TEST_F(ServerApps, WindowsOfOtherProgramsWithTheProductsTitlesAreLeftAlone) {
    auto other = emu::startProcess("C:\\Tools\\Notes.exe");
    for (const char *title : {kConsole, kAgent, "Quillane Agent"}) {
        emu::createWindow(title, other->id);
    }
    const struct {
        DWORD major;
        bool taken;
    } systems[] = {{5, false}, {4, true}};
    for (const auto &system : systems) {
        SCOPED_TRACE(system.major);
        machine().system.version.major = system.major;
        EXPECT_EQ(HKSetupAreThereAnyRunningServerApps(nullptr), system.taken ? 1 : 0);
        EXPECT_EQ(HKSetupRebootComputer(nullptr), 0);
        EXPECT_EQ(emu::messagesTo("Quillane Agent").size(), system.taken ? 1u : 0u);
    }
    machine().system.version.major = 5;
    EXPECT_EQ(HKSetupStopRunningServerApps(nullptr), 0);
    EXPECT_FALSE(other->exited);
    EXPECT_TRUE(emu::messagesTo(kConsole).empty());
}

TEST_F(ServerApps, ServicesRunningAtTheStartAreStoppedInOrder) {
    scm().add("QLNAlert50");
    scm().add("QLNSyncServer50");
    EXPECT_EQ(HKSetupStopRunningServerApps(nullptr), 0);
    EXPECT_EQ(scm().controlled(SERVICE_CONTROL_STOP),
              (std::vector<std::string>{"QLNSyncServer50", "QLNAlert50"}));

    // A stopped one is left alone; a failing stop is shown and the next goes on.
    scm().controls.clear();
    scm().find("QLNSyncServer50")->state = SERVICE_RUNNING;
    scm().find("QLNSyncServer50")->acceptsStop = false;
    scm().find("QLNAlert50")->state = SERVICE_RUNNING;
    EXPECT_EQ(HKSetupStopRunningServerApps(nullptr), 0);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{
                              "The requested control is not valid for this service.(1052)"});
    EXPECT_EQ(scm().find("QLNAlert50")->state, SERVICE_STOPPED);

    scm().controls.clear();
    scm().find("QLNAlert50")->state = SERVICE_RUNNING;
    scm().find("QLNSyncServer50")->state = SERVICE_STOPPED;
    EXPECT_EQ(HKSetupStopRunningServerApps(nullptr), 0);
    EXPECT_EQ(scm().controlled(SERVICE_CONTROL_STOP), std::vector<std::string>{"QLNAlert50"});
}

} // namespace
