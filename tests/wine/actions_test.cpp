// The post-install actions and the uninstall/reinstall edits of the real DLL
// under Wine: real files, the real registry, Wine's own registry editor and
// the mingw stand-ins of the sibling libraries.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "wine_support.h"

#include <tlhelp32.h>

namespace {

const char *const kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char *const kImportKey = "Software\\Brevanta\\RadozavuImport";

// A registry file that sets one value under HKEY_CURRENT_USER.
std::string registryFile(const std::string &value) {
    return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Brevanta\\RadozavuImport]\r\n"
           "\"Imported\"=\"" +
           value + "\"\r\n";
}

// The list of file operations Wine performs at its next start, as texts.
std::string pendingOperations() {
    HKEY key = nullptr;
    std::string list;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return list;
    }
    char data[8192];
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type,
                         reinterpret_cast<BYTE *>(data), &size) == ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        list.assign(data, size);
    }
    RegCloseKey(key);
    return list;
}

void clearPendingOperations() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, "PendingFileRenameOperations");
        RegCloseKey(key);
    }
}

// How many copies of a program run now.
int runningCopies(const char *program) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int copies = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        copies += lstrcmpiA(entry.szExeFile, program) == 0 ? 1 : 0;
    }
    CloseHandle(snapshot);
    return copies;
}

class WineActions : public ::testing::Test {
protected:
    void TearDown() override { wine::deleteTree(HKEY_CURRENT_USER, kImportKey); }
    wine::Library library;
};

// A program named as the registry editor, planted beside the installer
// program or in the current folder, is never started: Wine's own editor is.
TEST_F(WineActions, PlantedRegistryEditorsAreNeverStarted) {
    const std::string record = wine::freshFolder("planted record") + "record.txt";
    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", record.c_str());
    const std::string setup = wine::freshFolder("planted setup");
    const std::string current = wine::freshFolder("planted current");
    const std::string file = setup + "QLNCFG.REG";
    wine::writeFile(file, registryFile("planted"));
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(current.c_str()); // the installer's current folder too
    for (const std::string &folder : {setup, current}) {
        const std::string planted = folder + "regedit.exe";
        ASSERT_TRUE(CopyFileA((wine::programFolder() + "planted_program.exe").c_str(),
                              planted.c_str(), FALSE));
        wine::Program installer(wine::installerIn(setup, "ExecInitialRegFileEX \"" + file + "\""));
        EXPECT_EQ(installer.exitCode(wine::kPatienceMs), 1u);
        DeleteFileA(planted.c_str());
        EXPECT_FALSE(wine::fileExists(record)) << wine::readFile(record);
    }
    SetCurrentDirectoryA(previous);
    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", nullptr);
}

TEST_F(WineActions, IniFilesAreCopiedIntoTheFolderOrBesideIt) {
    const std::string source = wine::freshFolder("ini-source");
    const std::string target = wine::freshFolder("ini-target");
    wine::writeFile(source + "a.ini", "a");
    wine::writeFile(source + "B.INI", "b");
    wine::writeFile(source + "notes.txt", "n");
    wine::writeFile(source + "site.prefs", "prefs");

    EXPECT_EQ(library->MoveAllINIFilesEX(source.c_str(), target.c_str()), 1);
    EXPECT_EQ(wine::readFile(target + "a.ini"), "a");
    EXPECT_EQ(wine::readFile(target + "B.INI"), "b");
    EXPECT_FALSE(wine::fileExists(target + "notes.txt"));
    EXPECT_TRUE(wine::fileExists(source + "a.ini"));
    const std::string empty = wine::freshFolder("ini-empty");
    EXPECT_EQ(library->MoveAllINIFilesEX(empty.c_str(), target.c_str()), 0);

    auto movePreferences = library->MoveInitialPreferencesFileEX;
    EXPECT_EQ(movePreferences((source + "site.prefs").c_str(), target.c_str()), 0);
    EXPECT_EQ(wine::readFile(target + "QLNINIT.INI"), "prefs");
    const std::string bare = target.substr(0, target.size() - 1);
    EXPECT_EQ(movePreferences((source + "site.prefs").c_str(), bare.c_str()), 0);
    EXPECT_EQ(wine::readFile(bare + "QLNINIT.INI"), "prefs");
}

// Wine's registry editor refuses the "/i" switch: it names the switch on its
// error output ("regedit: Invalid or unrecognized switch [/i]") and ends
// with exit code 0 without importing. The export waits for it (no editor is
// left running) and reports 1; the same file imports without the switch, so
// the file itself is sound.
TEST_F(WineActions, PostInstallActionsCopyThePreferencesAndRunWinesRegistryEditor) {
    const std::string setup = wine::freshFolder("post install setup");
    const std::string target = wine::freshFolder("post install target");
    wine::writeFile(setup + "QLNINIT.INI", "[Initial]\r\nA=1\r\n");
    wine::writeFile(setup + "QLNCFG.REG", registryFile("post-install"));

    auto perform = library->HKPerformPostInstallActions;
    EXPECT_EQ(perform(setup.c_str(), target.c_str()), 1);
    EXPECT_EQ(runningCopies("regedit.exe"), 0);
    EXPECT_EQ(wine::readFile(target + "QLNINIT.INI"), "[Initial]\r\nA=1\r\n");
    std::string value;
    EXPECT_FALSE(wine::readString(HKEY_CURRENT_USER, kImportKey, "Imported", value));

    EXPECT_EQ(wine::Program("regedit /s \"" + setup + "QLNCFG.REG\"").exitCode(wine::kPatienceMs),
              0u);
    EXPECT_TRUE(wine::readString(HKEY_CURRENT_USER, kImportKey, "Imported", value));
    EXPECT_EQ(value, "post-install");

    EXPECT_EQ(perform(nullptr, target.c_str()), 0);
}

TEST_F(WineActions, ExecInitialRegFileRunsTheEditorOrReportsAMissingFileAsDone) {
    const std::string setup = wine::freshFolder("exec reg file");
    auto exec = library->ExecInitialRegFileEX;
    EXPECT_EQ(exec((setup + "QLNCFG.REG").c_str()), 1);
    wine::writeFile(setup + "QLNCFG.REG", registryFile("exec"));
    EXPECT_EQ(exec((setup + "QLNCFG.REG").c_str()), 1);
    EXPECT_EQ(runningCopies("regedit.exe"), 0);
    std::string value;
    EXPECT_FALSE(wine::readString(HKEY_CURRENT_USER, kImportKey, "Imported", value));
}

TEST_F(WineActions, OldLibraryIsDeletedOrLeftForTheNextStart) {
    clearPendingOperations();
    auto cleanUp = library->HKSetupCleanUpOldFiles;
    const std::string folder = wine::freshFolder("cleanup");
    CreateDirectoryA((folder + "BIN").c_str(), nullptr);
    const std::string oldLibrary = folder + "BIN\\MFC42.DLL";
    wine::writeFile(oldLibrary, "old");
    SetupCallRecord record{};
    record.ParamText = folder.c_str();
    EXPECT_EQ(cleanUp(&record), 0);
    EXPECT_FALSE(wine::fileExists(oldLibrary));
    EXPECT_EQ(pendingOperations(), "");

    // Held open without delete sharing, as a running program holds it.
    wine::writeFile(oldLibrary, "in use");
    HANDLE held = CreateFileA(oldLibrary.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string bare = folder.substr(0, folder.size() - 1);
    record.ParamText = bare.c_str();
    EXPECT_EQ(cleanUp(&record), 0);
    CloseHandle(held);
    EXPECT_TRUE(wine::fileExists(oldLibrary));
    const std::string entry = std::string("\\??\\") + oldLibrary + '\0' + '\0';
    EXPECT_NE(pendingOperations().find(entry), std::string::npos);

    // Neither an absent file nor one reached through a junction that a user
    // made of BIN goes on the list, nor is the latter deleted.
    clearPendingOperations();
    const std::string absent = wine::freshFolder("cleanup-absent");
    const std::string elsewhere = wine::freshFolder("cleanup-elsewhere");
    wine::writeFile(elsewhere + "MFC42.DLL", "someone else's");
    const std::string junction = wine::freshFolder("cleanup-junction");
    ASSERT_TRUE(wine::makeJunction(junction + "BIN", elsewhere));
    for (const std::string &installFolder : {absent, junction}) {
        record.ParamText = installFolder.c_str();
        EXPECT_EQ(cleanUp(&record), 0);
    }
    EXPECT_EQ(wine::readFile(elsewhere + "MFC42.DLL"), "someone else's");
    EXPECT_EQ(pendingOperations(), "");
}

// Files of the setup configuration are taken from the setup folder only, a
// path with a wildcard names no file, and an empty target folder gets
// nothing written (not the current folder, not the root of the drive).
TEST_F(WineActions, SetupFilesComeFromTheSetupFolderAndGoNowhereWithoutATarget) {
    const std::string setup = wine::freshFolder("setup files");
    const std::string target = wine::freshFolder("setup files target");
    const std::string secret = wine::freshFolder("setup files secret");
    const std::string current = wine::freshFolder("setup files current");
    wine::writeFile(secret + "admin.ini", "for administrators");
    wine::writeFile(setup + "site.ini", "site");
    wine::writeFile(setup + "QLNSETUP.INI",
                    "[Configuration]\r\nInitialPreferencesFile=" + secret + "admin.ini\r\n");
    ASSERT_TRUE(SetCurrentDirectoryA(current.c_str()));

    EXPECT_EQ(library->HKPerformPostInstallActions(setup.c_str(), target.c_str()), 1);
    EXPECT_EQ(library->MoveInitialPreferencesFileEX((setup + "s*.ini").c_str(), target.c_str()), 0);
    EXPECT_FALSE(wine::fileExists(target + "QLNINIT.INI"));
    EXPECT_EQ(library->HKPerformPostInstallActions((setup + "\\").c_str(), ""), 0);
    EXPECT_EQ(library->MoveInitialPreferencesFileEX((setup + "site.ini").c_str(), ""), 0);
    for (const std::string &written : {current + "QLNINIT.INI", std::string("C:\\QLNINIT.INI")}) {
        EXPECT_FALSE(wine::fileExists(written)) << written;
    }
    SetCurrentDirectoryA(wine::programFolder().c_str());
}

TEST_F(WineActions, RegistryEntryIsDeletedOnlyWithSelectorTwo) {
    const std::string key = "Software\\Brevanta\\RadozavuDelete";
    wine::setString(HKEY_LOCAL_MACHINE, key, "Obsolete", "x");
    auto deleteEntry = library->HKDelRegistryEntry;
    std::string value;
    EXPECT_EQ(deleteEntry(1, key.c_str(), "Obsolete"), 0);
    EXPECT_EQ(deleteEntry(3, key.c_str(), "Obsolete"), 0);
    EXPECT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, key, "Obsolete", value));
    EXPECT_EQ(deleteEntry(2, key.c_str(), "Obsolete"), 1);
    EXPECT_FALSE(wine::readString(HKEY_LOCAL_MACHINE, key, "Obsolete", value));
    EXPECT_EQ(deleteEntry(2, key.c_str(), "Obsolete"), 0);
    EXPECT_EQ(deleteEntry(2, "Software\\Brevanta\\RadozavuMissing", "Obsolete"), 0);
    wine::deleteTree(HKEY_LOCAL_MACHINE, key);
}

TEST_F(WineActions, UninstallAndReinstallEditsOnTheRealRegistry) {
    const std::string runOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    wine::setString(HKEY_LOCAL_MACHINE, runOnce, "CleanQlClient", "C:\\clean.exe");
    wine::setString(HKEY_LOCAL_MACHINE, runOnce, "RadozavuOther", "C:\\other.exe");
    auto cancel = library->CancelUninstallEX;
    std::string value;
    EXPECT_EQ(cancel(), 1);
    EXPECT_FALSE(wine::readString(HKEY_LOCAL_MACHINE, runOnce, "CleanQlClient", value));
    EXPECT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, runOnce, "RadozavuOther", value));
    EXPECT_EQ(cancel(), 0);

    const std::string product = "9A8B7C6D5E4F30211203F4E5D6C7B8A9";
    const std::string machineList = "SOFTWARE\\Classes\\Installer\\Products\\" + product;
    const std::string userList = "Software\\Microsoft\\Installer\\Products\\" + product;
    wine::setString(HKEY_LOCAL_MACHINE, machineList + "\\SourceList", "PackageName", "q.msi");
    wine::setString(HKEY_CURRENT_USER, userList + "\\SourceList", "PackageName", "q.msi");
    auto deletePackageName = library->DeleteRegPackageNameEX;
    EXPECT_EQ(deletePackageName(product.c_str()), 1);
    EXPECT_FALSE(
        wine::readString(HKEY_LOCAL_MACHINE, machineList + "\\SourceList", "PackageName", value));
    EXPECT_TRUE(
        wine::readString(HKEY_CURRENT_USER, userList + "\\SourceList", "PackageName", value));
    wine::deleteTree(HKEY_LOCAL_MACHINE, machineList);
    EXPECT_EQ(deletePackageName(product.c_str()), 1);
    EXPECT_FALSE(
        wine::readString(HKEY_CURRENT_USER, userList + "\\SourceList", "PackageName", value));
    wine::deleteTree(HKEY_CURRENT_USER, userList);
    EXPECT_EQ(deletePackageName(product.c_str()), 0);

    EXPECT_STREQ(library->EditCustomizedInstallPathEX("C:\\Program Files\\Brevanta\\Quillane\\"),
                 "C:\\Program Files\\");
    EXPECT_EQ(library->EditRegistryOnReinstallEX("C:\\Setup\\"), 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, runOnce.c_str(), 0, KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    RegDeleteValueA(key, "RadozavuOther");
    RegCloseKey(key);
}

// The setup time is the FILETIME of the call, as "high-low" signed halves.
TEST_F(WineActions, SetupTimeLandsUnderTheRegistryNamesInForce) {
    const auto stampedTime = [](const std::string &preferences) {
        std::string text;
        EXPECT_TRUE(wine::readString(HKEY_LOCAL_MACHINE, preferences, "LastSetupTime", text));
        int high = 0;
        int low = 0;
        EXPECT_EQ(std::sscanf(text.c_str(), "%d-%d", &high, &low), 2) << text;
        return (static_cast<unsigned long long>(static_cast<unsigned>(high)) << 32) |
               static_cast<unsigned>(low);
    };
    const auto systemTime = [] {
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    };
    const unsigned long long before = systemTime();
    EXPECT_EQ(library->HKUpdateSetupDateInRegistryEX(), 0);
    const unsigned long long after = systemTime();
    const unsigned long long stamped = stampedTime("Software\\Brevanta\\Quillane\\Preferences");
    EXPECT_GE(stamped, before);
    EXPECT_LE(stamped, after);

    library->RADOzavu_SetRegistryInfo("RadozavuCompany", "RadozavuProduct");
    EXPECT_EQ(library->HKUpdateSetupDateInRegistry(nullptr), 0);
    EXPECT_GE(stampedTime("Software\\RadozavuCompany\\RadozavuProduct\\Preferences"), after);
    wine::deleteTree(HKEY_LOCAL_MACHINE, "Software\\RadozavuCompany");
}

TEST_F(WineActions, WriteMonitorPathsComeFromTheSiblingLibraries) {
    const std::string folder = wine::freshFolder("write monitor");
    for (const char *name : {"Rezedev.dll", "ZepProj.dll"}) {
        ASSERT_TRUE(
            CopyFileA((wine::programFolder() + name).c_str(), (folder + name).c_str(), FALSE));
    }
    const std::string record = folder + "record.txt";
    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", record.c_str());
    SetEnvironmentVariableA("RADOZAVU_ZEPPROJ_RESULT", "5");

    auto configure = library->HKConfigureWriteMonitorPathsEX;
    const std::string bare = folder.substr(0, folder.size() - 1);
    EXPECT_EQ(configure(bare.c_str()), 5);
    EXPECT_EQ(wine::readFile(record),
              "load Rezedev.dll\nload ZepProj.dll\nHKPopulateWriteMonitorPaths\n");

    SetEnvironmentVariableA("RADOZAVU_ZEPPROJ_RESULT", "0");
    SetupCallRecord withBackslash{};
    withBackslash.ParamText = folder.c_str(); // loads from a doubled backslash
    EXPECT_EQ(library->HKConfigureWriteMonitorPaths(&withBackslash), 0);
    EXPECT_EQ(configure(nullptr), 1);

    const std::string empty = wine::freshFolder("write monitor missing");
    EXPECT_EQ(configure(empty.c_str()), 0);
    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", nullptr);
    SetEnvironmentVariableA("RADOZAVU_ZEPPROJ_RESULT", nullptr);
}

} // namespace
