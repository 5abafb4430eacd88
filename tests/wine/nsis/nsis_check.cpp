// A real installer as the caller of the real DLL: the example installer of
// examples/nsis, built with makensis, loads RADOZAVU.DLL through NSIS's System
// plug-in. It runs silently, installing and then removing the product, in a
// Wine prefix of its own (this program gets one from run-under-wine.sh); what
// it leaves in the registry, in files and in its install action log is
// checked here.
#include <gtest/gtest.h>

#include <sstream>
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
                    "InstallActionLog=" + otherLog + "\r\n");
    EXPECT_EQ(wine::Program(quoted(otherSetup + "setup.exe") + " /S").exitCode(kInstallerLimitMs),
              2u);
    EXPECT_FALSE(wine::fileExists(otherLog));
}

} // namespace
