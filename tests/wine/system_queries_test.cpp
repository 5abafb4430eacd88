// The system and location queries of the real DLL under Wine: the folder
// check with a real message box, the version questions under several
// Windows versions, and the locations against what Wine itself reports.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "wine_support.h"

namespace {

// A top-level window standing for the installer's, to own message boxes.
class InstallerWindow {
public:
    InstallerWindow()
        : window_(CreateWindowExA(0, "STATIC", "Quillane Setup", WS_OVERLAPPEDWINDOW, 0, 0, 320,
                                  200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr)) {
        EXPECT_NE(window_, nullptr);
    }
    ~InstallerWindow() { DestroyWindow(window_); }
    InstallerWindow(const InstallerWindow &) = delete;
    InstallerWindow &operator=(const InstallerWindow &) = delete;
    [[nodiscard]] HWND get() const { return window_; }

private:
    HWND window_;
};

TEST(WineFolderValidation, RefusalsShowTheirBoxOwnedByTheInstallerWindow) {
    wine::Library library;
    auto validate = library->HKSetupValidateLocalDirectory;
    InstallerWindow owner;
    SetupCallRecord record{};
    record.OwnerWindow = owner.get();

    const std::pair<const char *, const char *> refusals[] = {
        {"C:", "You cannot select the root directory of a drive..."},
        {"\\\\server\\share\\Quillane", "Please select a folder on your LOCAL computer..."},
    };
    for (const auto &[path, text] : refusals) {
        SCOPED_TRACE(path);
        record.ParamText = path;
        wine::BoxWatcher watcher("Quillane Installation");
        EXPECT_EQ(validate(&record), 1);
        const wine::SeenBox box = watcher.wait();
        ASSERT_TRUE(box.seen);
        EXPECT_EQ(box.owner, owner.get());
        EXPECT_EQ(box.text, text);
        EXPECT_FALSE(box.hasIcon);
    }

    record.ParamText = "C:\\Program Files\\Brevanta\\Quillane";
    EXPECT_EQ(validate(&record), 0);
}

TEST(WineFolderValidation, ThePlainFormAnswersByDriveType) {
    wine::Library library;
    auto validate = library->HKSetupValidateLocalDirectoryEX;
    EXPECT_EQ(validate("C:\\"), 0);
    EXPECT_EQ(validate("c:\\windows"), 0);
    EXPECT_EQ(validate("C:"), 1);
    EXPECT_EQ(validate(nullptr), 1);
    EXPECT_EQ(validate("\\\\server\\share\\Quillane"), 2);
    EXPECT_EQ(validate(""), 2);
}

// What the library answers when Wine gives the probe program one Windows
// version, as the probe's exit code tells it (see programs/version_probe.cpp).
DWORD probeUnderVersion(const char *version) {
    const std::string key = "Software\\Wine\\AppDefaults\\radozavu_version_probe.exe";
    wine::setString(HKEY_CURRENT_USER, key, "Version", version);
    const DWORD exitCode = wine::Program(wine::besideProgram("radozavu_version_probe.exe"))
                               .exitCode(wine::kPatienceMs);
    wine::deleteTree(HKEY_CURRENT_USER, key);
    return exitCode;
}

TEST(WineVersions, Windows2000AndXPAreToldApartUnderEachWindowsVersion) {
    struct Case {
        const char *version;
        DWORD platform, major, minor;
        DWORD windows2000, windowsXP;
    };
    const Case cases[] = {
        {"win98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0, 0},
        {"nt40", VER_PLATFORM_WIN32_NT, 4, 0, 0, 0},
        {"win2k", VER_PLATFORM_WIN32_NT, 5, 0, 1, 0},
        {"winxp", VER_PLATFORM_WIN32_NT, 5, 1, 1, 1},
        {"win2003", VER_PLATFORM_WIN32_NT, 5, 2, 1, 0},
        {"vista", VER_PLATFORM_WIN32_NT, 6, 0, 1, 0},
        {"win7", VER_PLATFORM_WIN32_NT, 6, 1, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.version);
        const DWORD report = probeUnderVersion(c.version);
        ASSERT_NE(report & 0xFF000000u, 0xFF000000u) << "the probe did not run";
        // The version the probe was given, then what the library answered.
        EXPECT_EQ((report >> 4) & 0xF, c.platform);
        EXPECT_EQ((report >> 8) & 0xFF, c.major);
        EXPECT_EQ((report >> 16) & 0xFF, c.minor);
        EXPECT_EQ(report & 1, c.windows2000);
        EXPECT_EQ((report >> 1) & 1, c.windowsXP);
    }
}

TEST(WineLocations, AnswersAgreeWithWhatWineReports) {
    wine::Library library;
    EXPECT_STREQ(library->HKSetupGetDefaultInstallLocation(),
                 "C:\\Program Files\\Brevanta\\Quillane");

    char commonDesktop[MAX_PATH] = "";
    ASSERT_TRUE(
        SHGetSpecialFolderPathA(nullptr, commonDesktop, CSIDL_COMMON_DESKTOPDIRECTORY, FALSE));
    EXPECT_STREQ(library->HKSetupGetCommonDesktopLocation(), commonDesktop);

    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    EXPECT_STREQ(library->HKGetSetupExePath(), program);

    const std::string answers = wine::freshFolder("desktop") + "answers.ini";
    SetupCallRecord record{};
    record.ParamText = answers.c_str();
    auto writeDesktop = library->HKSetupGetCommonDesktopFolderLocation;
    EXPECT_EQ(writeDesktop(&record), 0);
    char written[MAX_PATH] = "";
    GetPrivateProfileStringA("SECTION", "Common Desktop", "", written, MAX_PATH, answers.c_str());
    EXPECT_STREQ(written, commonDesktop);
    record.ParamText = nullptr;
    EXPECT_EQ(writeDesktop(&record), 1);
}

} // namespace
