// The running-program, server and service registration exports of the real
// DLL under Wine, against stand-in programs of the product, the real
// registry and the mingw stand-in of Rezedev.dll.
#include <gtest/gtest.h>

#include <vector>

#include "wine_support.h"

namespace {

constexpr UINT kExitRequest = 0x101D;
constexpr const char *kSync = "Synchronization";
constexpr const char *kManager = "Quillane - Project Manager";
constexpr const char *kConsole = "Quillane Synchronization Server Console 5.0";
constexpr const char *kAgent = "Quillane Synchronization Server Agent 5.0";
constexpr const char *kCloseTheApplication =
    "Setup has determined that an instance of Quillane application is currently running...\n"
    "Please close the application and restart installation.";
constexpr const char *kProduct = "Software\\Brevanta";
constexpr const char *kPreferences = "Software\\Brevanta\\Quillane\\Preferences";
constexpr const char *kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\QLNSvc40";

// The stand-in as the product's client program, and as another maker's
// program showing the same windows.
std::string clientProgram(const std::string &arguments) {
    return wine::productProgram("QLNCLIENT.EXE", arguments);
}
std::string standIn(const std::string &arguments) {
    return wine::besideProgram("program_standin.exe", arguments);
}

bool windowPresent(const char *title) { return FindWindowA(nullptr, title) != nullptr; }

class WineApps : public ::testing::Test {
protected:
    void TearDown() override { wine::deleteTree(HKEY_LOCAL_MACHINE, kProduct); }
    wine::Library library;
};

TEST_F(WineApps, ClientProgramAskedToExitClosesBothWindows) {
    wine::setDword(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", 0);
    wine::Program client(
        clientProgram("--hold-zep \"Synchronization\" \"Quillane - Project Manager\""));
    ASSERT_TRUE(client.showsWindows({kSync, kManager}));

    const DWORD start = GetTickCount();
    SetupCallRecord record{};
    EXPECT_EQ(library->HKSetupFindRunningApps(&record), 0);
    // Well before the 30 s after which the user would be asked, however
    // loaded the machine is.
    EXPECT_LT(GetTickCount() - start, 25000u);
    EXPECT_FALSE(windowPresent(kSync));
    EXPECT_FALSE(windowPresent(kManager));
    EXPECT_EQ(client.exitCode(wine::kPatienceMs),
              5u); // closed by the requests, semaphore given back
}

TEST_F(WineApps, FreeSemaphoreMeansNoClientRunsWhateverWindowsAreThere) {
    // A program of other makers with the client's window titles, not holding
    // the semaphore: it is neither reported nor asked to exit.
    wine::Program other(standIn("\"Synchronization\" \"Quillane - Project Manager\""));
    ASSERT_TRUE(other.showsWindows({kSync, kManager}));
    wine::BoxWatcher watcher("Quillane Installation");
    SetupCallRecord record{};
    EXPECT_EQ(library->HKSetupFindRunningApps(&record), 0);
    EXPECT_EQ(watcher.finish().answered, 0);
    EXPECT_TRUE(windowPresent(kSync));
    EXPECT_TRUE(windowPresent(kManager));
    EXPECT_EQ(other.exitCode(0), STILL_ACTIVE);
}

TEST_F(WineApps, UserIsAskedToCloseTheClientProgram) {
    wine::Program client(
        clientProgram("--hold-zep \"Synchronization\" \"Quillane - Project Manager\""));
    ASSERT_TRUE(client.showsWindows({kSync, kManager}));
    HWND owner = CreateWindowExA(0, "STATIC", "RADOZAVU test installer", WS_OVERLAPPED, 0, 0, 100,
                                 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    // The user closes the program, then presses OK.
    wine::BoxWatcher watcher("Quillane Installation", [&client] {
        for (const char *title : {kSync, kManager}) {
            PostMessageA(FindWindowA(nullptr, title), kExitRequest, 1, 0);
        }
        client.exitCode(wine::kPatienceMs);
    });
    SetupCallRecord record{};
    record.OwnerWindow = owner;
    EXPECT_EQ(library->HKSetupFindRunningApps(&record), 0);
    const wine::SeenBox box = watcher.wait();
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.owner, owner);
    EXPECT_EQ(box.text, kCloseTheApplication);
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(box.answered, 1);
    EXPECT_EQ(client.exitCode(0), 5u);
    DestroyWindow(owner);
}

// An owner in the record that is no window makes MessageBoxA fail at once:
// the box is shown without an owner instead of being tried again and again.
TEST_F(WineApps, BoxWhoseOwnerIsNoWindowIsShownWithoutOne) {
    wine::Program client(
        clientProgram("--hold-zep \"Synchronization\" \"Quillane - Project Manager\""));
    ASSERT_TRUE(client.showsWindows({kSync, kManager}));
    wine::BoxWatcher watcher("Quillane Installation", [&client] {
        for (const char *title : {kSync, kManager}) {
            PostMessageA(FindWindowA(nullptr, title), kExitRequest, 1, 0);
        }
        client.exitCode(wine::kPatienceMs);
    });
    SetupCallRecord record{};
    record.OwnerWindow = reinterpret_cast<HWND>(0x7ff0);
    ASSERT_FALSE(IsWindow(record.OwnerWindow));
    EXPECT_EQ(library->HKSetupFindRunningApps(&record), 0);
    const wine::SeenBox box = watcher.wait();
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, kCloseTheApplication);
    EXPECT_EQ(box.answered, 1);
}

// A client that does not answer the exit request keeps setup waiting 30
// seconds; then the user is asked to close it.
TEST_F(WineApps, ClientIgnoringTheExitRequestIsLeftToTheUserAfterThirtySeconds) {
    wine::setDword(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", 0);
    wine::Program client(clientProgram("--hold-zep --ignore-exit-request \"Synchronization\" "
                                       "\"Quillane - Project Manager\""));
    ASSERT_TRUE(client.showsWindows({kSync, kManager}));
    HWND owner = CreateWindowExA(0, "STATIC", "RADOZAVU test installer", WS_OVERLAPPED, 0, 0, 100,
                                 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    DWORD askedAfter = 0;
    const DWORD start = GetTickCount();
    wine::BoxWatcher watcher(
        "Quillane Installation",
        [&] {
            askedAfter = GetTickCount() - start;
            for (const char *title : {kSync, kManager}) {
                PostMessageA(FindWindowA(nullptr, title), WM_CLOSE, 0, 0);
            }
            client.exitCode(wine::kPatienceMs);
        },
        90000);
    SetupCallRecord record{};
    record.OwnerWindow = owner;
    EXPECT_EQ(library->HKSetupFindRunningApps(&record), 0);
    const wine::SeenBox box = watcher.wait();
    ASSERT_TRUE(box.seen);
    // Not before the 30 s the exit request is given; the upper bound only
    // tells a bounded wait from an endless one, with room for a loaded machine.
    EXPECT_GE(askedAfter, 30000u);
    EXPECT_LT(askedAfter, 75000u);
    EXPECT_EQ(box.owner, owner);
    EXPECT_EQ(box.text, kCloseTheApplication);
    EXPECT_EQ(box.answered, 1);
    EXPECT_EQ(client.exitCode(0), 6u); // it had the exit request and ignored it
    DestroyWindow(owner);
}

// The console ignores WM_CLOSE and has its process ended after 100 ms; the
// agent closes on WM_CLOSE and ends by itself.
TEST_F(WineApps, ServerWindowsAreClosedOrTheirProcessesEnded) {
    auto anyRunning = library->HKSetupAreThereAnyRunningServerApps;
    auto stopRunning = library->HKSetupStopRunningServerApps;
    EXPECT_EQ(anyRunning(nullptr), 0); // no server window, no server service

    wine::Program agent(
        wine::productProgram("QLNSRVAGT.EXE", "\"Quillane Synchronization Server Agent 5.0\""));
    ASSERT_TRUE(agent.showsWindows({kAgent}));
    EXPECT_EQ(anyRunning(nullptr), 1);
    wine::Program console(wine::productProgram(
        "QLNSRVCON.EXE", "--ignore-close \"Quillane Synchronization Server Console 5.0\""));
    ASSERT_TRUE(console.showsWindows({kConsole}));
    EXPECT_EQ(anyRunning(nullptr), 1);

    EXPECT_EQ(stopRunning(nullptr), 0);
    EXPECT_EQ(console.exitCode(wine::kPatienceMs), 0u); // terminated with exit code 0
    EXPECT_EQ(agent.exitCode(wine::kPatienceMs), 5u);   // closed its window and ended
    EXPECT_FALSE(windowPresent(kConsole));
    EXPECT_FALSE(windowPresent(kAgent));
    EXPECT_EQ(anyRunning(nullptr), 0);
}

// Another maker's program whose windows bear the server's titles is not
// taken for the product: it is neither closed nor ended.
TEST_F(WineApps, OtherProgramsWithTheServersTitlesAreLeftAlone) {
    wine::Program other(standIn("--ignore-close \"Quillane Synchronization Server Console 5.0\" "
                                "\"Quillane Synchronization Server Agent 5.0\""));
    ASSERT_TRUE(other.showsWindows({kConsole, kAgent}));
    EXPECT_EQ(library->HKSetupAreThereAnyRunningServerApps(nullptr), 0);
    EXPECT_EQ(library->HKSetupStopRunningServerApps(nullptr), 0);
    EXPECT_EQ(other.exitCode(0), DWORD{STILL_ACTIVE});
    EXPECT_TRUE(windowPresent(kConsole));
    EXPECT_TRUE(windowPresent(kAgent));
}

// A value's type and size as the registry holds them.
void expectValue(const char *name, DWORD type, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD actualType = 0;
    DWORD actualSize = 0;
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &actualType, nullptr, &actualSize),
              ERROR_SUCCESS)
        << name;
    EXPECT_EQ(actualType, type) << name;
    EXPECT_EQ(actualSize, size) << name;
    RegCloseKey(key);
}

TEST_F(WineApps, ServiceKeyIsWrittenInTheRealRegistry) {
    const std::string folder = "C:\\Program Files\\Brevanta\\Quillane";
    EXPECT_EQ(library->CreateServiceEX(folder.c_str()), 1);
    std::string text;
    ASSERT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath", text));
    EXPECT_EQ(text, "\"" + folder + "\\QLNSYNCService.exe\"");
    expectValue("ImagePath", REG_SZ, static_cast<DWORD>(text.size() + 1));
    ASSERT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, kServiceKey, "DisplayName", text));
    EXPECT_EQ(text, "Brevanta Synchronization Service 5.0");
    expectValue("Description", REG_SZ, 37);
    expectValue("DisplayName", REG_SZ, 37);
    expectValue("ObjectName", REG_SZ, 12);
    for (auto [name, expected] :
         {std::pair{"ErrorControl", 0u}, std::pair{"Start", 2u}, std::pair{"Type", 0x110u}}) {
        DWORD value = 99;
        ASSERT_TRUE(wine::readDword(HKEY_LOCAL_MACHINE, kServiceKey, name, value)) << name;
        EXPECT_EQ(value, expected) << name;
        expectValue(name, REG_DWORD, 4);
    }
    wine::deleteTree(HKEY_LOCAL_MACHINE, kServiceKey);
}

TEST_F(WineApps, DependentServicesAreHandedToTheSiblingLibrary) {
    const std::string record = wine::freshFolder("rezedev") + "record.txt";
    DeleteFileA(record.c_str());
    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", record.c_str());
    SetEnvironmentVariableA("RADOZAVU_REZEDEV_RESULT", "7");
    auto addDependentServices = library->HKAdd2DependentServicesEX;

    std::string folder = wine::programFolder();
    folder.pop_back(); // the folder is given without its trailing backslash
    EXPECT_EQ(addDependentServices(folder.c_str()), 7);
    EXPECT_EQ(wine::readFile(record),
              "load Rezedev.dll\nHKConfigureDependentServices QLNSvc40 1\n");
    // The library stays loaded in the installer's process.
    EXPECT_NE(GetModuleHandleA("Rezedev.dll"), nullptr);
    EXPECT_EQ(addDependentServices(wine::freshFolder("no-rezedev").c_str()), 0);
    EXPECT_EQ(addDependentServices(nullptr), 1);

    // The record form takes the folder from ParamText.
    auto addDependentServicesFor = library->HKAdd2DependentServices;
    SetupCallRecord withFolder{};
    withFolder.ParamText = folder.c_str();
    SetEnvironmentVariableA("RADOZAVU_REZEDEV_RESULT", "0");
    EXPECT_EQ(addDependentServicesFor(&withFolder), 0); // the sibling library's own answer
    EXPECT_EQ(wine::readFile(record), "load Rezedev.dll\nHKConfigureDependentServices QLNSvc40 1\n"
                                      "HKConfigureDependentServices QLNSvc40 1\n");
    SetupCallRecord withoutFolder{};
    EXPECT_EQ(addDependentServicesFor(&withoutFolder), 1);
    EXPECT_EQ(addDependentServicesFor(nullptr), 1);

    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", nullptr);
    SetEnvironmentVariableA("RADOZAVU_REZEDEV_RESULT", nullptr);
}

// The importing stand-in of Rezedev.dll takes its import from its own
// folder: a broken copy planted beside the installer program is passed over.
TEST_F(WineApps, SiblingLibrarysImportsComeFromItsOwnFolder) {
    const std::string record = wine::freshFolder("importing record") + "record.txt";
    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", record.c_str());
    const std::string folder = wine::freshFolder("importing sibling");
    for (const char *file : {"Rezedev.dll", "ZepShared.dll"}) {
        ASSERT_TRUE(CopyFileA((wine::programFolder() + "importing\\" + file).c_str(),
                              (folder + file).c_str(), FALSE));
    }
    const std::string setup = wine::freshFolder("importing setup");
    wine::writeFile(setup + "ZepShared.dll", "not a library\r\n");
    std::string bare = folder;
    bare.pop_back();
    wine::Program installer(wine::installerIn(setup, "HKAdd2DependentServicesEX \"" + bare + "\""));
    EXPECT_EQ(installer.exitCode(wine::kPatienceMs), 1u);
    const std::string recorded = wine::readFile(record);
    EXPECT_NE(recorded.find("load ZepShared.dll from " + folder + "ZepShared.dll"),
              std::string::npos)
        << recorded;
    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", nullptr);
}

} // namespace
