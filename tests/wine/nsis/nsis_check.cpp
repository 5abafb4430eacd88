// Real installers as the callers of the real DLL, built with makensis and
// radozavu.nsh, run silently in one Wine prefix of their own (this program
// gets one from run-under-wine.sh). The example installer of examples/nsis
// installs and then removes the product; what it leaves in the registry, in
// files and in its install action log is checked here. The all-exports
// installers, Unicode and ANSI, call every export and check the results
// themselves; they report each failed check.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "wine_support.h"

namespace {

constexpr const char *kOrderKey = "System\\CurrentControlSet\\Control\\NetworkProvider\\Order";
constexpr const char *kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\QLNSvc40";
constexpr const char *kPreferences = "Software\\Brevanta\\Quillane\\Preferences";
constexpr const char *kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillane";
constexpr const char *kInstallFolder = "C:\\radozavu-tests\\nsis-install\\Quillane";
constexpr DWORD kInstallerLimitMs = 60000;

// The messages of the install action log, in order, without their stamps.
std::vector<std::string> loggedMessages(const std::string &log) {
    std::vector<std::string> messages;
    std::istringstream lines(wine::readFile(log));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto separator = line.find(" : ");
        messages.push_back(separator == std::string::npos ? line : line.substr(separator + 3));
    }
    return messages;
}

// A path in double quotes, for a command line.
std::string quoted(const std::string &path) {
    std::string text = "\"";
    text += path;
    text += '"';
    return text;
}

class WineNsisInstaller : public ::testing::Test {
protected:
    // The setup folder: the installer beside its QLNSETUP.INI, which names
    // the install folder and the log. The installer runs once for the suite.
    static void SetUpTestSuite() {
        setupFolder = wine::freshFolder("nsis-setup");
        log = setupFolder + "install.log";
        CopyFileA((wine::programFolder() + "quillane-example-setup.exe").c_str(),
                  (setupFolder + "setup.exe").c_str(), FALSE);
        wine::writeFile(setupFolder + "QLNSETUP.INI",
                        std::string("[Configuration]\r\nInstallDirectory=") + kInstallFolder +
                            "\r\nInstallActionLog=" + log + "\r\n");
        wine::setString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", "RDPNP,LanmanWorkstation");
        installerExitCode =
            wine::Program(quoted(setupFolder + "setup.exe") + " /S").exitCode(kInstallerLimitMs);
    }

    static std::string installed(const char *name) {
        return std::string(kInstallFolder) + "\\" + name;
    }

    static inline std::string setupFolder;
    static inline std::string log;
    static inline DWORD installerExitCode = STILL_ACTIVE;
};

TEST_F(WineNsisInstaller, SilentInstallLeavesFilesRegistryAndLog) {
    ASSERT_EQ(installerExitCode, 0u);

    const std::string readme = wine::readFile(installed("readme.txt"));
    EXPECT_EQ(readme.rfind("Quillane 5.1", 0), 0u);
    EXPECT_EQ(wine::readFile(installed("readme.txt.gz")).substr(0, 2), "\x1f\x8b");
    EXPECT_EQ(wine::readFile(installed("readme-unpacked.txt")), readme);
    EXPECT_TRUE(wine::fileExists(installed("QLNSETUP.INI")));
    EXPECT_TRUE(wine::fileExists(installed("uninstall.exe")));

    std::string value;
    EXPECT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", value));
    EXPECT_EQ(value, "QLNNET,RDPNP,LanmanWorkstation");
    EXPECT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath", value));
    EXPECT_EQ(value, installed("QLNSYNCService.exe"));
    EXPECT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, kPreferences, "LastSetupTime", value));
    int high = 0;
    int low = 0;
    EXPECT_EQ(std::sscanf(value.c_str(), "%d-%d", &high, &low), 2) << value;
    EXPECT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, kUninstallKey, "BuildCode", value));
    EXPECT_EQ(value, "FF");

    const std::vector<std::string> expected = {
        std::string("Installing Quillane in ") + kInstallFolder,
        "System check: 0",
        "Packed copy: " + installed("readme.txt.gz"),
        "Unpacked copy: " + installed("readme-unpacked.txt"),
        "Network provider added: 0",
        "Service key written: 1",
        "Setup date stored: 0",
        "Build 55 in letters: FF, read back: 55",
        "Installation complete",
    };
    EXPECT_EQ(loggedMessages(log), expected);
}

TEST_F(WineNsisInstaller, SilentRemovalTakesBackWhatTheInstallAdded) {
    ASSERT_EQ(installerExitCode, 0u);
    const std::size_t installLines = loggedMessages(log).size();
    // Run in place ("_?="), the uninstaller can be waited for.
    EXPECT_EQ(wine::Program(quoted(installed("uninstall.exe")) + " /S _?=" + kInstallFolder)
                  .exitCode(kInstallerLimitMs),
              0u);

    for (const char *name :
         {"readme.txt", "readme.txt.gz", "readme-unpacked.txt", "QLNSETUP.INI"}) {
        EXPECT_FALSE(wine::fileExists(installed(name))) << name;
    }
    std::string value;
    EXPECT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", value));
    EXPECT_EQ(value, "RDPNP,LanmanWorkstation");
    EXPECT_FALSE(wine::readString(HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath", value));
    EXPECT_FALSE(wine::readString(HKEY_LOCAL_MACHINE, kPreferences, "LastSetupTime", value));
    EXPECT_FALSE(wine::readString(HKEY_LOCAL_MACHINE, kUninstallKey, "BuildCode", value));

    const std::vector<std::string> messages = loggedMessages(log);
    ASSERT_GE(messages.size(), installLines);
    const std::vector<std::string> removal(messages.begin() + installLines, messages.end());
    const std::vector<std::string> expected = {
        std::string("Removing Quillane from ") + kInstallFolder,
        "Network provider removed: 0",
        "Setup date deleted: 1",
        "Removal complete",
    };
    EXPECT_EQ(removal, expected);
}

// A folder on the network, named by the setup configuration, is refused by
// the folder check before anything is installed; the silent installer ends
// as aborted.
TEST_F(WineNsisInstaller, FolderThatIsNotLocalIsRefused) {
    const std::string otherSetup = wine::freshFolder("nsis-setup-network");
    const std::string otherLog = otherSetup + "install.log";
    CopyFileA((setupFolder + "setup.exe").c_str(), (otherSetup + "setup.exe").c_str(), FALSE);
    wine::writeFile(otherSetup + "QLNSETUP.INI",
                    "[Configuration]\r\nInstallDirectory=\\\\server\\share\\Quillane\r\n"
                    "InstallActionLog=" +
                        otherLog + "\r\n");
    EXPECT_EQ(wine::Program(quoted(otherSetup + "setup.exe") + " /S").exitCode(kInstallerLimitMs),
              2u);
    EXPECT_FALSE(wine::fileExists(otherLog));
}

// A window on a thread of its own that refuses to let the session end: Wine
// asks every window before it restarts, so the restart that the all-exports
// installer requests is refused and the prefix keeps running.
class RestartRefuser {
    static LRESULT CALLBACK refuseEndOfSession(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
        return message == WM_QUERYENDSESSION ? FALSE
                                             : DefWindowProcA(window, message, wParam, lParam);
    }

public:
    RestartRefuser() {
        thread_ = std::thread([this] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = refuseEndOfSession;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "RadozavuRestartRefuser";
            RegisterClassA(&windowClass);
            window_ =
                CreateWindowA(windowClass.lpszClassName, "restart refuser", WS_OVERLAPPEDWINDOW, 0,
                              0, 100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
            ready_ = true;
            MSG message;
            while (GetMessageA(&message, nullptr, 0, 0) > 0) {
                DispatchMessageA(&message);
            }
        });
        while (!ready_) {
            Sleep(10);
        }
    }
    ~RestartRefuser() {
        PostMessageA(window_, WM_QUIT, 0, 0);
        thread_.join();
    }
    RestartRefuser(const RestartRefuser &) = delete;
    RestartRefuser &operator=(const RestartRefuser &) = delete;

private:
    std::thread thread_;
    std::atomic<bool> ready_{false};
    HWND window_ = nullptr;
};

// Every export through radozavu.nsh, from a Unicode and from an ANSI script:
// the installer's exit code is the number of its failed checks, each told in
// its report.
TEST(WineNsisAllExports, EveryExportAnswersAsDocumentedInBothCharacterSets) {
    RestartRefuser refuser;
    for (const char *unicode : {"true", "false"}) {
        SCOPED_TRACE(std::string("Unicode ") + unicode);
        const std::string folder = wine::freshFolder(std::string("all-exports-") + unicode);
        const std::string installer = folder + "all-exports.exe";
        const std::string report = folder + "report.txt";
        CopyFileA((wine::programFolder() + "all-exports-unicode-" + unicode + ".exe").c_str(),
                  installer.c_str(), FALSE);
        EXPECT_EQ(
            wine::Program(quoted(installer) + " /REPORT=" + report).exitCode(kInstallerLimitMs), 0u)
            << wine::readFile(report);
        EXPECT_TRUE(wine::fileExists(report));
    }
}

} // namespace
