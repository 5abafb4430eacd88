// The running-program, server and service registration exports of the real
// DLL under Wine, against stand-in programs of the product, the real
// registry and the mingw stand-in of Rezedev.dll.
#include <gtest/gtest.h>

#include <initializer_list>

#include "wine_support.h"

namespace {

using RecordExport = int(RADOZAVU_CALL *)(const SetupCallRecord *);
using TextExport = int(RADOZAVU_CALL *)(const char *);

constexpr UINT kExitRequest = 0x101D;
constexpr const char *kSync = "Synchronization";
constexpr const char *kManager = "Quillane - Project Manager";
constexpr const char *kConsole = "Quillane Synchronization Server Console 5.0";
constexpr const char *kProduct = "Software\\Brevanta";
constexpr const char *kPreferences = "Software\\Brevanta\\Quillane\\Preferences";
constexpr const char *kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\QLNSvc40";

// A program started for one test and ended by it: the stand-in of the
// product's programs, or the installer stand-in.
class Program {
public:
    explicit Program(const std::string &commandLine) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string line = commandLine;
        started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &info_) != FALSE;
        EXPECT_TRUE(started_) << commandLine << ": " << GetLastError();
    }
    ~Program() {
        if (!started_) {
            return;
        }
        if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // Waits until the program shows a window of each title.
    bool showsWindows(std::initializer_list<const char *> titles) const {
        for (int round = 0; round < 500; ++round) {
            bool all = true;
            for (const char *title : titles) {
                all = all && FindWindowA(nullptr, title) != nullptr;
            }
            if (all) {
                return true;
            }
            Sleep(20);
        }
        return false;
    }
    // The exit code once the program has ended, or STILL_ACTIVE after limitMs.
    DWORD exitCode(DWORD limitMs) const {
        DWORD code = STILL_ACTIVE;
        if (started_ && WaitForSingleObject(info_.hProcess, limitMs) == WAIT_OBJECT_0) {
            GetExitCodeProcess(info_.hProcess, &code);
        }
        return code;
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION info_{};
};

// The command line of a program beside the test driver.
std::string commandLine(const char *program, const std::string &arguments) {
    std::string line = "\"";
    line += wine::programFolder();
    line += program;
    line += "\" ";
    line += arguments;
    return line;
}

std::string standIn(const std::string &arguments) {
    return commandLine("program_standin.exe", arguments);
}

bool windowPresent(const char *title) { return FindWindowA(nullptr, title) != nullptr; }

class WineApps : public ::testing::Test {
protected:
    void TearDown() override { wine::deleteTree(HKEY_LOCAL_MACHINE, kProduct); }
    wine::Library library;
};

TEST_F(WineApps, ClientProgramAskedToExitClosesBothWindows) {
    wine::setDword(HKEY_LOCAL_MACHINE, kPreferences, "AllowRequestUserCloseApp", 0);
    Program client(standIn("--hold-zep \"Synchronization\" \"Quillane - Project Manager\""));
    ASSERT_TRUE(client.showsWindows({kSync, kManager}));

    const DWORD start = GetTickCount();
    SetupCallRecord record{};
    EXPECT_EQ(library.get<RecordExport>("HKSetupFindRunningApps")(&record), 0);
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_FALSE(windowPresent(kSync));
    EXPECT_FALSE(windowPresent(kManager));
    EXPECT_EQ(client.exitCode(5000), 5u); // closed by the requests, semaphore given back
}

TEST_F(WineApps, UserIsAskedToCloseTheClientProgram) {
    Program client(standIn("--hold-zep \"Synchronization\" \"Quillane - Project Manager\""));
    ASSERT_TRUE(client.showsWindows({kSync, kManager}));
    HWND owner = CreateWindowExA(0, "STATIC", "RADOZAVU test installer", WS_OVERLAPPED, 0, 0, 100,
                                 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    // The user closes the program, then presses OK.
    wine::BoxWatcher watcher("Quillane Installation", [&client] {
        for (const char *title : {kSync, kManager}) {
            PostMessageA(FindWindowA(nullptr, title), kExitRequest, 1, 0);
        }
        client.exitCode(5000);
    });
    SetupCallRecord record{};
    record.OwnerWindow = owner;
    EXPECT_EQ(library.get<RecordExport>("HKSetupFindRunningApps")(&record), 0);
    const wine::SeenBox box = watcher.wait();
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.owner, owner);
    EXPECT_EQ(box.text, "Setup has determined that an instance of Quillane application is "
                        "currently running...\nPlease close the application and restart "
                        "installation.");
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(client.exitCode(0), 5u);
    DestroyWindow(owner);
}

TEST_F(WineApps, Windows98PassesTheClientCheckButNotTheServerCheck) {
    const std::string versionKey = "Software\\Wine\\AppDefaults\\installer_standin.exe";
    wine::setString(HKEY_CURRENT_USER, versionKey, "Version", "win98");
    {
        HWND installerWindow = nullptr;
        wine::BoxWatcher watcher("Quillane Installation", [&installerWindow] {
            installerWindow = FindWindowA(nullptr, "RADOZAVU installer stand-in");
        });
        Program server(commandLine("installer_standin.exe", "HKServerSetupFindRunningApps"));
        const wine::SeenBox box = watcher.wait();
        ASSERT_TRUE(box.seen);
        EXPECT_EQ(box.text, "Quillane cannot be installed on this operating system.");
        EXPECT_EQ(box.owner, installerWindow);
        EXPECT_NE(installerWindow, nullptr);
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(server.exitCode(10000), 1u);
    }
    Program client(commandLine("installer_standin.exe", "HKSetupFindRunningApps"));
    EXPECT_EQ(client.exitCode(10000), 0u); // no box, no running client
    wine::deleteTree(HKEY_CURRENT_USER, versionKey);
}

TEST_F(WineApps, ServerWindowThatIgnoresWmCloseHasItsProcessEnded) {
    auto anyRunning = library.get<RecordExport>("HKSetupAreThereAnyRunningServerApps");
    auto stopRunning = library.get<RecordExport>("HKSetupStopRunningServerApps");
    EXPECT_EQ(anyRunning(nullptr), 0); // no server window, no server service

    Program console(standIn("--ignore-close \"Quillane Synchronization Server Console 5.0\""));
    ASSERT_TRUE(console.showsWindows({kConsole}));
    EXPECT_EQ(anyRunning(nullptr), 1);
    EXPECT_EQ(stopRunning(nullptr), 0);
    EXPECT_EQ(console.exitCode(5000), 0u); // terminated with exit code 0
    EXPECT_FALSE(windowPresent(kConsole));
    EXPECT_EQ(anyRunning(nullptr), 0);
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
    EXPECT_EQ(library.get<TextExport>("CreateServiceEX")(folder.c_str()), 1);
    std::string text;
    ASSERT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath", text));
    EXPECT_EQ(text, folder + "\\QLNSYNCService.exe");
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
    auto addDependentServices = library.get<TextExport>("HKAdd2DependentServicesEX");

    std::string folder = wine::programFolder();
    folder.pop_back(); // the folder is given without its trailing backslash
    EXPECT_EQ(addDependentServices(folder.c_str()), 7);
    EXPECT_EQ(wine::readFile(record),
              "load Rezedev.dll\nHKConfigureDependentServices QLNSvc40 1\n");
    // The library stays loaded in the installer's process.
    EXPECT_NE(GetModuleHandleA("Rezedev.dll"), nullptr);
    EXPECT_EQ(addDependentServices(wine::freshFolder("no-rezedev").c_str()), 0);
    EXPECT_EQ(addDependentServices(nullptr), 1);

    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", nullptr);
    SetEnvironmentVariableA("RADOZAVU_REZEDEV_RESULT", nullptr);
}

} // namespace
