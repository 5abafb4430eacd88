// The system check of the client and server setup exports under the Windows
// versions Wine can report. Wine fixes the version of a program when it
// starts, so each check runs in the installer stand-in, a program of its own
// that calls one export with its own window as the owner of the boxes.
#include <gtest/gtest.h>

#include <vector>

#include "wine_support.h"

namespace {

constexpr const char *kCaption = "Quillane Installation";
constexpr const char *kInstallerWindow = "RADOZAVU installer stand-in";
constexpr const char *kUnsupported = "Quillane cannot be installed on this operating system.";
constexpr const char *kServicePackAdvice =
    "It is recommended that you upgrade your NT workstation to Sevice Pack 3 or higher for "
    "Quillane to run properly.\nYou can continue the installation now, and upgrade to the "
    "Service Pack 3 or higher later.";

struct CheckOutcome {
    DWORD result = STILL_ACTIVE;
    wine::SeenBox box;
    HWND installerWindow = nullptr; // the stand-in's window, found when the box showed
};

// Runs one setup export in the installer stand-in and answers its box.
CheckOutcome runCheck(const char *exportName) {
    CheckOutcome outcome;
    wine::BoxWatcher watcher(
        kCaption, [&outcome] { outcome.installerWindow = FindWindowA(nullptr, kInstallerWindow); });
    wine::Program installer(wine::besideProgram("installer_standin.exe", exportName));
    outcome.result = installer.exitCode(wine::kPatienceMs);
    outcome.box = watcher.finish();
    return outcome;
}

// Checks the outcome: the result and, when text is given, the one box with
// that text owned by the installer's window; else that no box was shown.
void expectOutcome(const CheckOutcome &outcome, DWORD result, const char *text) {
    EXPECT_EQ(outcome.result, result);
    if (text == nullptr) {
        EXPECT_EQ(outcome.box.answered, 0) << outcome.box.text;
        return;
    }
    ASSERT_TRUE(outcome.box.seen);
    EXPECT_EQ(outcome.box.answered, 1);
    EXPECT_EQ(outcome.box.text, text);
    EXPECT_NE(outcome.installerWindow, nullptr);
    EXPECT_EQ(outcome.box.owner, outcome.installerWindow);
    EXPECT_FALSE(outcome.box.hasIcon);
    EXPECT_EQ(outcome.box.buttons, std::vector<std::string>{"OK"});
}

TEST(WineSystemCheck, EachWindowsVersionIsAcceptedOrRefusedByBothSetups) {
    const std::string versionKey = "Software\\Wine\\AppDefaults\\installer_standin.exe";
    struct Case {
        const char *version;
        DWORD clientResult;
        const char *clientBox;
        DWORD serverResult;
        const char *serverBox;
    };
    const Case cases[] = {
        {"win95", 0, nullptr, 1, kUnsupported}, // the Windows 95 family: client setup only
        {"win98", 0, nullptr, 1, kUnsupported},
        {"nt351", 1, kUnsupported, 1, kUnsupported}, // older than version 4
        {"nt40", 0, nullptr, 0, nullptr},            // Wine reports Service Pack 6a
        {"win2k", 0, nullptr, 0, nullptr},
        {"winxp", 0, nullptr, 0, nullptr},
        {"win7", 0, nullptr, 0, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.version);
        wine::setString(HKEY_CURRENT_USER, versionKey, "Version", c.version);
        expectOutcome(runCheck("HKSetupFindRunningApps"), c.clientResult, c.clientBox);
        expectOutcome(runCheck("HKServerSetupFindRunningApps"), c.serverResult, c.serverBox);
    }
    wine::deleteTree(HKEY_CURRENT_USER, versionKey);
}

// A registry value changed for one test and put back as it was afterwards.
class ValueOverride {
public:
    ValueOverride(HKEY root, const char *path, const char *name) : name_(name) {
        RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
        DWORD size = 0;
        had_ = key_ != nullptr &&
               RegQueryValueExA(key_, name, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
        if (had_) {
            saved_.resize(size);
            had_ = RegQueryValueExA(key_, name, nullptr, &type_, saved_.data(), &size) ==
                   ERROR_SUCCESS;
        }
    }
    ~ValueOverride() {
        if (had_) {
            RegSetValueExA(key_, name_, 0, type_, saved_.data(), static_cast<DWORD>(saved_.size()));
        } else {
            RegDeleteValueA(key_, name_);
        }
        RegCloseKey(key_);
    }
    ValueOverride(const ValueOverride &) = delete;
    ValueOverride &operator=(const ValueOverride &) = delete;

    void set(const std::string &text) {
        ASSERT_EQ(RegSetValueExA(key_, name_, 0, REG_SZ,
                                 reinterpret_cast<const BYTE *>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
    }
    void remove() { RegDeleteValueA(key_, name_); }

private:
    const char *name_;
    HKEY key_ = nullptr;
    bool had_ = false;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> saved_;
};

// With no version set for the program, Wine reports the version the
// registry holds, service-pack text included: an NT 4.0 older than Service
// Pack 3 can be set up there.
TEST(WineSystemCheck, WindowsNt4BeforeServicePack3IsAdvisedToUpgradeAndGoesOn) {
    const char *const current = "Software\\Microsoft\\Windows NT\\CurrentVersion";
    ValueOverride major(HKEY_LOCAL_MACHINE, current, "CurrentMajorVersionNumber");
    ValueOverride minor(HKEY_LOCAL_MACHINE, current, "CurrentMinorVersionNumber");
    ValueOverride version(HKEY_LOCAL_MACHINE, current, "CurrentVersion");
    ValueOverride build(HKEY_LOCAL_MACHINE, current, "CurrentBuildNumber");
    ValueOverride servicePack(HKEY_LOCAL_MACHINE, current, "CSDVersion");
    major.remove();
    minor.remove();
    version.set("4.0");
    build.set("1381");

    const std::pair<const char *, const char *> texts[] = {
        {"", kServicePackAdvice},
        {"Service Pack 2", kServicePackAdvice},
        {"service pack 3", nullptr},
        {"Service Pack 6", nullptr},
    };
    for (const auto &[text, box] : texts) {
        SCOPED_TRACE(text);
        servicePack.set(text);
        expectOutcome(runCheck("HKSetupFindRunningApps"), 0, box);
        expectOutcome(runCheck("HKServerSetupFindRunningApps"), 0, box);
    }
}

} // namespace
