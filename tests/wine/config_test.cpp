// The setup configuration getters of the real DLL against a real
// QLNSETUP.INI, read through Wine's profile functions.
#include <gtest/gtest.h>

#include "wine_support.h"

namespace {

// Every getter has the type of this one.
using GetterExport = decltype(&::GetValidateSettings);

class WineConfig : public ::testing::Test {
protected:
    static std::string call(GetterExport getter, const std::string &folder) {
        return getter(folder.c_str());
    }
    wine::Library library;
};

TEST_F(WineConfig, GettersReadTheFileTheirDefaultsAndExpandEnvironmentReferences) {
    const std::string folder = wine::freshFolder("getters");
    wine::writeFile(folder + "QLNSETUP.INI",
                    "[Configuration]\r\n"
                    "CreateDesktopIcon=\r\n"
                    "allowlocalsync = YES \r\n"
                    "DefaultCacheLocation=%WINDIR%\\Cache\r\n"
                    "DefaultVirtualNetworkLocation=%RADOZAVU_UNSET%\\VN\r\n"
                    "ExecutableCommandParams=error reading value\r\n");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);

    EXPECT_EQ(call(library->GetCreateDesktopIcon, folder), "");
    EXPECT_EQ(call(library->GetAllowLocalSync, folder), "YES");
    EXPECT_EQ(call(library->GetAllowNetworkSync, folder), "NO");
    EXPECT_EQ(call(library->GetUninstallRebootPrompt, folder), "TRUE");
    EXPECT_EQ(call(library->GetProgramGroup, folder), "Quillane");
    EXPECT_EQ(call(library->GetInstallDirectory, folder), "Error Reading Value");
    EXPECT_EQ(call(library->GetDefaultCacheLocation, folder), std::string(windows) + "\\Cache");
    EXPECT_EQ(call(library->GetDefaultVirtualNetworkLocation, folder), "%RADOZAVU_UNSET%\\VN");
    EXPECT_EQ(call(library->GetExecutableCmdLineOptions, folder), "");
    EXPECT_EQ(call(library->GetInitialPreferencesFile, folder), folder + "\\QLNINIT.INI");
    EXPECT_EQ(call(library->GetInitialRegFile, folder), folder + "\\QLNCFG.REG");

    // Without its trailing backslash the folder runs into the file name.
    const std::string bare = folder.substr(0, folder.size() - 1);
    EXPECT_EQ(call(library->GetAllowLocalSync, bare), "NO");
}

// Every getter with its key written in the file, then with no file at all.
TEST_F(WineConfig, EveryGetterReadsItsOwnKeyOrGivesItsDefault) {
    const std::string folder = wine::freshFolder("every-getter");
    const std::string empty = wine::freshFolder("no-setup-file");
    struct Getter {
        GetterExport getter;
        const char *key;
        std::string fallback;
    };
    const Getter getters[] = {
        {library->GetValidateSettings, "ValidateSettings", "YES"},
        {library->GetInstallDirectory, "InstallDirectory", "Error Reading Value"},
        {library->GetCreateDesktopIcon, "CreateDesktopIcon", "YES"},
        {library->GetProgramGroup, "ProgramGroup", "Quillane"},
        {library->GetRasMessage, "RasMessage", "YES"},
        {library->GetAllowLocalSync, "AllowLocalSync", "NO"},
        {library->GetAllowNetworkSync, "AllowNetworkSync", "NO"},
        {library->GetAllowOneWaySync, "AllowOneWaySync", "NO"},
        {library->GetAllowTwoWaySync, "AllowTwoWaySync", "NO"},
        {library->GetRebootPrompt, "RebootPrompt", "YES"},
        {library->GetInitialPreferencesFile, "InitialPreferencesFile", empty + "\\QLNINIT.INI"},
        {library->GetShowHelpAtStartUp, "ShowHelpAtStartUp", "YES"},
        {library->GetDefaultWebSite, "DefaultWebSite", "http://www.brevanta.com"},
        {library->GetCreateAgentIcon, "CreateAgentIcon", "YES"},
        {library->GetEnableVirtualNetworkProjects, "EnableVirtualNetworkProjects", "YES"},
        {library->GetEnableBackupProjects, "EnableBackupProjects", "YES"},
        {library->GetCreateNetworkProviderEntries, "CreateNetworkProviderEntries", "YES"},
        {library->GetInitialRegFile, "InitialRegFile", empty + "\\QLNCFG.REG"},
        {library->GetAllowInstallOnNTServer, "AllowInstallOnNTServer", "NO"},
        {library->GetInstallService, "InstallService", "NO"},
        {library->GetSvcDependentServices, "SvcDependentServices", ""},
        {library->GetUninstallRebootPrompt, "UninstallRebootPrompt", "TRUE"},
        {library->GetDefaultCacheLocation, "DefaultCacheLocation", ""},
        {library->GetDefaultVirtualNetworkLocation, "DefaultVirtualNetworkLocation", ""},
        {library->GetUpgradeVersionCheck, "UpgradeVersionCheck", ""},
        {library->GetMultipleIniFiles, "MultipleIniFiles", "YES"},
        {library->GetExecuteOnCompletion, "ExecuteOnCompletion", "Error Reading Value"},
        {library->GetExecutableCmdLineOptions, "ExecutableCommandParams", ""},
    };
    // Each key gets a value of its own; the completion program must exist.
    std::string file = "[Configuration]\r\n";
    auto valueOf = [&folder](const Getter &getter) {
        return std::string(getter.key) == "ExecuteOnCompletion" ? folder + "QLNSETUP.INI"
                                                                : std::string(getter.key) + " set";
    };
    for (const Getter &getter : getters) {
        file += std::string(getter.key) + "=" + valueOf(getter) + "\r\n";
    }
    wine::writeFile(folder + "QLNSETUP.INI", file);

    for (const Getter &getter : getters) {
        SCOPED_TRACE(getter.key);
        EXPECT_EQ(call(getter.getter, folder), valueOf(getter));
        EXPECT_EQ(call(getter.getter, empty), getter.fallback);
    }
}

TEST_F(WineConfig, ReturnedTextStaysUntilTheNextCallOfTheSameGetter) {
    const std::string first = wine::freshFolder("returned-first");
    const std::string second = wine::freshFolder("returned-second");
    wine::writeFile(first + "QLNSETUP.INI", "[Configuration]\r\nProgramGroup=First\r\n");
    wine::writeFile(second + "QLNSETUP.INI", "[Configuration]\r\nProgramGroup=Second\r\n");
    auto getProgramGroup = library->GetProgramGroup;
    const char *text = getProgramGroup(first.c_str());
    call(library->GetAllowLocalSync, second);
    EXPECT_STREQ(text, "First");
    EXPECT_STREQ(getProgramGroup(second.c_str()), "Second");
}

} // namespace

// The display name is worked out when the library is loaded; the box of a
// missing completion program is titled with it.
TEST(WineFrame, MissingCompletionProgramBoxCarriesTheDisplayNameReadAtLoad) {
    const std::string product = "Software\\Brevanta\\Quillane\\Current Version";
    wine::setString(HKEY_LOCAL_MACHINE, product, "ProductName", "Quillane Test Edition");
    const std::string folder = wine::freshFolder("completion");
    wine::writeFile(folder + "QLNSETUP.INI", "[Configuration]\r\n"
                                             "ShowErrorMessages=yes\r\n"
                                             "ExecuteOnCompletion=C:\\nowhere\\setup-done.exe\r\n");
    {
        wine::Library library;
        auto getExecuteOnCompletion = library->GetExecuteOnCompletion;
        wine::BoxWatcher watcher("Quillane Test Edition");
        EXPECT_STREQ(getExecuteOnCompletion(folder.c_str()), "Error Reading Value");
        const wine::SeenBox box = watcher.wait();
        ASSERT_TRUE(box.seen);
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.text, "The file you have selected to execute at end of installation does "
                            "not exist. No action will be taken.");
        EXPECT_TRUE(box.hasIcon);

        // An existing program comes back as written, without a box.
        wine::writeFile(folder + "done.exe", "MZ");
        wine::writeFile(folder + "QLNSETUP.INI", "[Configuration]\r\nShowErrorMessages=yes\r\n"
                                                 "ExecuteOnCompletion=" +
                                                     folder + "DONE.EXE\r\n");
        EXPECT_EQ(std::string(getExecuteOnCompletion(folder.c_str())), folder + "DONE.EXE");
    }
    wine::deleteTree(HKEY_LOCAL_MACHINE, "Software\\Brevanta");
}

TEST(WineFrame, OverlongRegistryNamesAreRefusedWithoutHarm) {
    wine::Library library;
    auto setRegistryInfo = library->RADOzavu_SetRegistryInfo;
    const std::string overlong(300, 'x');
    setRegistryInfo(overlong.c_str(), "Quillane");
    setRegistryInfo(nullptr, nullptr);
    setRegistryInfo("Brevanta", "Quillane");
    SUCCEED();
}
