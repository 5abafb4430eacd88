// The fixed sizes of the real DLL, one below, at and one above each limit,
// against Wine's registry, files and profile functions: paths and names of
// 259 characters, the 519 characters of a parameter text, values and
// messages of 1,023 characters, numbers of 19 letters.
#include <gtest/gtest.h>

#include <string>

#include "wine_support.h"

namespace {

constexpr int kBelowAtAbove[] = {-1, 0, 1};
constexpr const char *kOrderKey = wine::ProviderOrderKeeper::kOrderKey;

std::string trace(std::size_t length) { return "length " + std::to_string(length); }

class WineLimits : public ::testing::Test {
protected:
    // A path of exactly `length` characters: the test's folder, folders of
    // at most 100 characters (made here), then `ending`, which starts with
    // its backslash.
    std::string pathOfLength(std::size_t length, const std::string &ending) const {
        std::string path = folder.substr(0, folder.size() - 1);
        while (path.size() + ending.size() < length) {
            const std::size_t room = length - ending.size() - path.size() - 1;
            path += '\\';
            path.append(room <= 100 ? room : 100, 'd');
            CreateDirectoryA(path.c_str(), nullptr);
        }
        return path + ending;
    }

    static std::string folderOf(const std::string &path) {
        return path.substr(0, path.rfind('\\'));
    }

    // The names in a folder, "." and ".." left out.
    static std::size_t entriesIn(const std::string &path) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
        std::size_t count = 0;
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                count += name != "." && name != ".." ? 1 : 0;
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        return count;
    }

    std::string folder =
        wine::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
};

// ---- 259-character paths and names ----

// A name the DLL takes replaces the one in force; one it refuses leaves it.
TEST_F(WineLimits, CompanyKeyNamesHold259Characters) {
    const std::string preferences = "Software\\Acme\\Prod\\Preferences";
    for (const int delta : kBelowAtAbove) {
        const std::string name(259 + delta, 'n');
        SCOPED_TRACE(trace(name.size()));
        wine::deleteTree(HKEY_LOCAL_MACHINE, "Software\\Acme");
        wine::Library library;
        library->RADOzavu_SetRegistryInfo("Acme", "Prod");
        library->RADOzavu_SetRegistryInfo(name.c_str(), "Prod");
        EXPECT_EQ(library->HKUpdateSetupDateInRegistryEX(), 0);
        std::string stamp;
        EXPECT_EQ(wine::readString(HKEY_LOCAL_MACHINE, preferences, "LastSetupTime", stamp),
                  delta > 0);
    }
    wine::deleteTree(HKEY_LOCAL_MACHINE, "Software\\Acme");
}

TEST_F(WineLimits, TheDisplayNameKeeps259CharactersOfTheStoredName) {
    const std::string currentVersion = "Software\\Brevanta\\Quillane\\Current Version";
    wine::writeFile(folder + "QLNSETUP.INI", "[Configuration]\r\nShowErrorMessages=YES\r\n"
                                             "ExecuteOnCompletion=C:\\radozavu-missing.exe\r\n");
    for (const int delta : kBelowAtAbove) {
        const std::string name(259 + delta, 'q');
        SCOPED_TRACE(trace(name.size()));
        wine::setString(HKEY_LOCAL_MACHINE, currentVersion, "ProductName", name);
        wine::Library library; // the display name is worked out at load
        wine::BoxWatcher watcher(name.substr(0, 259));
        EXPECT_STREQ(library->GetExecuteOnCompletion(folder.c_str()), "Error Reading Value");
        EXPECT_TRUE(watcher.wait().seen) << "no box titled with the first 259 characters";
    }
    wine::deleteTree(HKEY_LOCAL_MACHINE, "Software\\Brevanta");
}

TEST_F(WineLimits, TheActionLogPathHolds259Characters) {
    for (const int delta : kBelowAtAbove) {
        const std::string log = pathOfLength(259 + delta, "\\install.log");
        SCOPED_TRACE(trace(log.size()));
        wine::writeFile(folder + "QLNSETUP.INI",
                        "[Configuration]\r\nInstallActionLog=" + log + "\r\n");
        const std::string text = folder + "QLNSETUP.INI|Copied files";
        SetupCallRecord record{};
        record.ParamText = text.c_str();
        wine::Library library;
        EXPECT_EQ(library->HKSetupAddActionLog(&record), 0);
        EXPECT_EQ(entriesIn(folderOf(log)), delta <= 0 ? 1u : 0u);
    }
}

// Wine holds no path beyond 259 characters, so above the limit the test
// sees only that nothing is touched: no file, no delete at the next start.
TEST_F(WineLimits, TheOldLibraryIsRemovedWhenItsPathFits) {
    const auto pending = [] {
        std::string list;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                          0, KEY_READ, &key) == ERROR_SUCCESS) {
            char data[16384];
            DWORD size = sizeof data;
            if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                                 reinterpret_cast<BYTE *>(data), &size) == ERROR_SUCCESS) {
                list.assign(data, size);
            }
            RegCloseKey(key);
        }
        return list;
    };
    for (const int delta : kBelowAtAbove) {
        const std::string library = pathOfLength(259 + delta, "\\BIN\\MFC42.DLL");
        SCOPED_TRACE(trace(library.size()));
        const std::string installFolder = folderOf(folderOf(library));
        CreateDirectoryA((installFolder + "\\BIN").c_str(), nullptr);
        if (delta <= 0) {
            wine::writeFile(library, "old library");
        }
        SetupCallRecord record{};
        record.ParamText = installFolder.c_str();
        const std::string before = pending();
        wine::Library dll;
        EXPECT_EQ(dll->HKSetupCleanUpOldFiles(&record), 0);
        EXPECT_EQ(entriesIn(installFolder + "\\BIN"), 0u);
        EXPECT_EQ(pending(), before);
    }
}

TEST_F(WineLimits, TheInitialPreferencesFileIsCopiedWhenItsDestinationFits) {
    wine::writeFile(folder + "QLNINIT.INI", "[Initial]\r\n");
    for (const int delta : kBelowAtAbove) {
        const std::string destination = pathOfLength(259 + delta, "\\QLNINIT.INI");
        SCOPED_TRACE(trace(destination.size()));
        const std::string target = folderOf(destination) + "\\";
        wine::Library library;
        EXPECT_EQ(
            library->MoveInitialPreferencesFileEX((folder + "QLNINIT.INI").c_str(), target.c_str()),
            0);
        EXPECT_EQ(entriesIn(folderOf(destination)), delta <= 0 ? 1u : 0u);
    }
}

class WineOrderLimits : public WineLimits {
protected:
    static std::string order() { return wine::ProviderOrderKeeper::order(); }
    wine::ProviderOrderKeeper keeper;
    const std::string ini = keeper.debugIni();
};

// Orders of any length are kept whole; so is one an add makes longer.
TEST_F(WineOrderLimits, TheProviderOrderIsKeptWholeAroundItsOld259Characters) {
    wine::Library library;
    for (const int delta : kBelowAtAbove) {
        const std::string others = std::string(259 + delta - 6, 'p') + ",RDPNP";
        SCOPED_TRACE(trace(others.size()));
        wine::setString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", others);
        EXPECT_EQ(library->HKAddNetworkProviderEX(), 0);
        EXPECT_EQ(order(), "QLNNET," + others);
        EXPECT_EQ(library->HKRemoveNetworkProviderEX(), 0);
        EXPECT_EQ(order(), others);
    }
}

// ---- The 519 characters of a parameter text ----

TEST_F(WineLimits, TheActionLogUsesAParameterTextOf519Characters) {
    const std::string log = folder + "install.log";
    wine::writeFile(folder + "QLNSETUP.INI", "[Configuration]\r\nInstallActionLog=" + log + "\r\n");
    const std::string path = folder + "QLNSETUP.INI|";
    wine::Library library;
    std::size_t written = 0;
    for (const int delta : kBelowAtAbove) {
        const std::string message(519 + delta - path.size(), 'm');
        SCOPED_TRACE(trace(path.size() + message.size()));
        const std::string text = path + message;
        SetupCallRecord record{};
        record.ParamText = text.c_str();
        EXPECT_EQ(library->HKSetupAddActionLog(&record), 0);
        const std::string content = wine::readFile(log);
        const std::string expectedEnd = " : " + message.substr(0, 519 - path.size()) + "\r\n";
        ASSERT_GE(content.size(), written + expectedEnd.size());
        EXPECT_EQ(content.substr(content.size() - expectedEnd.size()), expectedEnd);
        written = content.size();
    }
}

// ---- Values and messages of 1,023 characters ----

TEST_F(WineLimits, ASettingHolds1023Characters) {
    wine::Library library;
    for (const int delta : kBelowAtAbove) {
        const std::string value(1023 + delta, 'v');
        SCOPED_TRACE(trace(value.size()));
        wine::writeFile(folder + "QLNSETUP.INI",
                        "[Configuration]\r\nUpgradeVersionCheck=" + value + "\r\n");
        EXPECT_EQ(std::string(library->GetUpgradeVersionCheck(folder.c_str())),
                  value.substr(0, 1023));
    }
}

// %WINDIR% in a value whose expansion is one below, at or one above 1,023
// characters: one that does not fit comes back as written.
TEST_F(WineLimits, ASettingIsExpandedWhenItsExpansionHolds1023Characters) {
    char windows[MAX_PATH];
    const DWORD windowsLength = GetEnvironmentVariableA("WINDIR", windows, MAX_PATH);
    ASSERT_GT(windowsLength, 0u);
    wine::Library library;
    for (const int delta : kBelowAtAbove) {
        const std::string value = "%WINDIR%" + std::string(1023 + delta - windowsLength, 'e');
        SCOPED_TRACE(trace(windowsLength + value.size() - 8));
        wine::writeFile(folder + "QLNSETUP.INI",
                        "[Configuration]\r\nUpgradeVersionCheck=" + value + "\r\n");
        EXPECT_EQ(std::string(library->GetUpgradeVersionCheck(folder.c_str())),
                  delta <= 0 ? std::string(windows) + value.substr(8) : value);
    }
}

// The third line of an add logs "QLNAddNetworkProvider: ProviderOrder=" and
// the order: orders that make it one below, at and one above 1,023
// characters.
TEST_F(WineOrderLimits, ADebugLogMessageHolds1023Characters) {
    const std::string lead = "QLNAddNetworkProvider: ProviderOrder=";
    for (const int delta : kBelowAtAbove) {
        const std::string stored = "QLNNET," + std::string(1023 + delta - lead.size() - 7, 'p');
        SCOPED_TRACE(trace(lead.size() + stored.size()));
        wine::writeFile(ini, "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n");
        wine::setString(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder", stored);
        wine::Library library; // the switch is read at the first message of a load
        EXPECT_EQ(library->HKAddNetworkProviderEX(), 0);
        char logged[2048] = "";
        GetPrivateProfileStringA("DebugIniMsgs", "003", "", logged, sizeof logged, ini.c_str());
        const std::string line = logged;
        const std::string expected = (lead + stored).substr(0, 1023);
        ASSERT_GE(line.size(), expected.size());
        EXPECT_EQ(line.substr(line.size() - expected.size()), expected);
        EXPECT_EQ(line.substr(line.find("] ") + 2), expected);
    }
}

// ---- Numbers of 19 letters ----

TEST_F(WineLimits, ANumberIsDecodedFromAtMost19Letters) {
    wine::Library library;
    for (const int delta : kBelowAtAbove) {
        const std::string letters = std::string(19 + delta - 1, 'A') + "B";
        SCOPED_TRACE(trace(letters.size()));
        EXPECT_EQ(library->HKGetNumberFromString(letters.c_str()), delta <= 0 ? 1 : 0);
    }
}

} // namespace
