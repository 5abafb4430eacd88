// The setup configuration getters on the emulated machine.
#include <string>
#include <vector>

#include "radozavu.h"
#include "support/machine_test.h"

namespace {

using Getter = const char *(RADOZAVU_CALL *)(const char *);

struct GetterDefault {
    Getter getter;
    const char *key;
    const char *defaultText; // nullptr: the folder, a backslash and a file name
};

const std::vector<GetterDefault> &simpleGetters() {
    static const std::vector<GetterDefault> getters = {
        {GetValidateSettings, "ValidateSettings", "YES"},
        {GetInstallDirectory, "InstallDirectory", "Error Reading Value"},
        {GetCreateDesktopIcon, "CreateDesktopIcon", "YES"},
        {GetProgramGroup, "ProgramGroup", "Quillane"},
        {GetRasMessage, "RasMessage", "YES"},
        {GetAllowLocalSync, "AllowLocalSync", "NO"},
        {GetAllowNetworkSync, "AllowNetworkSync", "NO"},
        {GetAllowOneWaySync, "AllowOneWaySync", "NO"},
        {GetAllowTwoWaySync, "AllowTwoWaySync", "NO"},
        {GetRebootPrompt, "RebootPrompt", "YES"},
        {GetShowHelpAtStartUp, "ShowHelpAtStartUp", "YES"},
        {GetDefaultWebSite, "DefaultWebSite", "http://www.brevanta.com"},
        {GetCreateAgentIcon, "CreateAgentIcon", "YES"},
        {GetEnableVirtualNetworkProjects, "EnableVirtualNetworkProjects", "YES"},
        {GetEnableBackupProjects, "EnableBackupProjects", "YES"},
        {GetCreateNetworkProviderEntries, "CreateNetworkProviderEntries", "YES"},
        {GetAllowInstallOnNTServer, "AllowInstallOnNTServer", "NO"},
        {GetInstallService, "InstallService", "NO"},
        {GetSvcDependentServices, "SvcDependentServices", ""},
        {GetUninstallRebootPrompt, "UninstallRebootPrompt", "TRUE"},
        {GetDefaultCacheLocation, "DefaultCacheLocation", ""},
        {GetDefaultVirtualNetworkLocation, "DefaultVirtualNetworkLocation", ""},
        {GetUpgradeVersionCheck, "UpgradeVersionCheck", ""},
        {GetMultipleIniFiles, "MultipleIniFiles", "YES"},
    };
    return getters;
}

class Getters : public MachineTest {
protected:
    void writeSetup(const std::string &lines) { writeFile(setup + "QLNSETUP.INI", lines); }
    const std::string setup = "C:\\Setup\\";
};

TEST_F(Getters, WithoutAFileEveryGetterGivesItsDefaultAndNoMessage) {
    makeFolder(setup);
    for (const GetterDefault &entry : simpleGetters()) {
        EXPECT_STREQ(entry.getter(setup.c_str()), entry.defaultText) << entry.key;
    }
    EXPECT_EQ(std::string(GetInitialPreferencesFile(setup.c_str())), "C:\\Setup\\\\QLNINIT.INI");
    EXPECT_EQ(std::string(GetInitialRegFile(setup.c_str())), "C:\\Setup\\\\QLNCFG.REG");
    EXPECT_STREQ(GetExecuteOnCompletion(setup.c_str()), "Error Reading Value");
    EXPECT_STREQ(GetExecutableCmdLineOptions(setup.c_str()), "");
    EXPECT_TRUE(machine().processes.user.messageBoxes.empty());
}

TEST_F(Getters, EveryGetterReadsItsOwnKey) {
    std::string lines = "[Configuration]\r\n";
    for (const GetterDefault &entry : simpleGetters()) {
        lines += std::string(entry.key) + "=value of " + entry.key + "\r\n";
    }
    lines += "InitialPreferencesFile=D:\\prefs.ini\r\nInitialRegFile=D:\\settings.reg\r\n"
             "ExecutableCommandParams=/quiet\r\n";
    writeSetup(lines);
    for (const GetterDefault &entry : simpleGetters()) {
        EXPECT_EQ(std::string(entry.getter(setup.c_str())), std::string("value of ") + entry.key);
    }
    EXPECT_STREQ(GetInitialPreferencesFile(setup.c_str()), "D:\\prefs.ini");
    EXPECT_STREQ(GetInitialRegFile(setup.c_str()), "D:\\settings.reg");
    EXPECT_STREQ(GetExecutableCmdLineOptions(setup.c_str()), "/quiet");
}

TEST_F(Getters, ValuesFollowTheProfileRules) {
    writeSetup("[configuration]\r\n"
               "createdesktopicon=\r\n"
               "  ProgramGroup  =   \"My Programs\"  \r\n"
               "DefaultCacheLocation=%WINDIR%\\Cache\r\n"
               "DefaultVirtualNetworkLocation=%NO_SUCH_VARIABLE%\\VN\r\n"
               "UpgradeVersionCheck=" +
               std::string(1100, 'v') + "\r\n");
    EXPECT_STREQ(GetCreateDesktopIcon(setup.c_str()), "");
    EXPECT_STREQ(GetProgramGroup(setup.c_str()), "My Programs");
    EXPECT_STREQ(GetDefaultCacheLocation(setup.c_str()), "C:\\WINDOWS\\Cache");
    EXPECT_STREQ(GetDefaultVirtualNetworkLocation(setup.c_str()), "%NO_SUCH_VARIABLE%\\VN");
    EXPECT_EQ(std::string(GetUpgradeVersionCheck(setup.c_str())), std::string(1023, 'v'));
}

TEST_F(Getters, AnExpansionTooLongForItsBufferKeepsTheRawValue) {
    machine().system.environment["LONG_ONE"] = std::string(600, 'x');
    writeSetup("[Configuration]\r\nDefaultCacheLocation=%LONG_ONE%%LONG_ONE%\r\n"
               "UpgradeVersionCheck=%LONG_ONE%\r\n");
    EXPECT_STREQ(GetDefaultCacheLocation(setup.c_str()), "%LONG_ONE%%LONG_ONE%");
    EXPECT_EQ(std::string(GetUpgradeVersionCheck(setup.c_str())), std::string(600, 'x'));
}

TEST_F(Getters, DefaultsPassThroughExpansionToo) {
    machine().system.environment["SETUPROOT"] = "C:\\Setup";
    EXPECT_EQ(std::string(GetInitialRegFile("%SETUPROOT%\\")), "C:\\Setup\\\\QLNCFG.REG");
}

TEST_F(Getters, AFolderWithoutItsBackslashRunsIntoTheFileName) {
    writeSetup("[Configuration]\r\nAllowLocalSync=YES\r\n");
    writeFile("C:\\SetupQLNSETUP.INI", "[Configuration]\r\nAllowLocalSync=MAYBE\r\n");
    EXPECT_STREQ(GetAllowLocalSync("C:\\Setup"), "MAYBE");
    EXPECT_STREQ(GetAllowTwoWaySync("C:\\Setup"), "NO");
}

TEST_F(Getters, AnEmptyOrMissingFolderReadsTheFileOfTheWindowsFolder) {
    writeFile("C:\\WINDOWS\\QLNSETUP.INI", "[Configuration]\r\nRasMessage=NO\r\n");
    EXPECT_STREQ(GetRasMessage(""), "NO");
    EXPECT_STREQ(GetRasMessage(nullptr), "NO");
    EXPECT_STREQ(GetInitialPreferencesFile(""), "\\QLNINIT.INI");
    EXPECT_STREQ(GetInitialRegFile(nullptr), "\\QLNCFG.REG");
}

TEST_F(Getters, EachGetterKeepsItsTextUntilItsOwnNextCall) {
    writeSetup("[Configuration]\r\nProgramGroup=First\r\nRasMessage=Other\r\n");
    const char *first = GetProgramGroup(setup.c_str());
    GetRasMessage(setup.c_str());
    GetInitialRegFile(setup.c_str());
    writeSetup("[Configuration]\r\nProgramGroup=Second\r\n");
    EXPECT_STREQ(first, "First");
    EXPECT_STREQ(GetProgramGroup(setup.c_str()), "Second"); // no cache: the file is read afresh
}

TEST_F(Getters, CommandLineOptionsHideTheSentinelInAnyCase) {
    writeSetup("[Configuration]\r\nExecutableCommandParams=error reading VALUE\r\n");
    EXPECT_STREQ(GetExecutableCmdLineOptions(setup.c_str()), "");
}

class CompletionProgram : public Getters {
protected:
    void configure(const std::string &showErrorMessages, const std::string &program) {
        std::string lines = "[Configuration]\r\nExecuteOnCompletion=" + program + "\r\n";
        if (showErrorMessages != "(absent)") {
            lines += "ShowErrorMessages=" + showErrorMessages + "\r\n";
        }
        writeSetup(lines);
    }
    static constexpr const char *kMissingText =
        "The file you have selected to execute at end of installation does not exist. No "
        "action will be taken.";
};

TEST_F(CompletionProgram, AnExistingFileFolderOrWildcardMatchIsReturnedUnchanged) {
    writeFile("C:\\Program Files\\Tools\\Done.exe", "MZ");
    for (const std::string program :
         {"C:\\Program Files\\Tools\\done.EXE", "C:\\Program Files\\Tools",
          "C:\\Program Files\\Tools\\*.exe", "%ProgramFiles%\\Tools\\Done.exe"}) {
        configure("YES", program);
        EXPECT_EQ(std::string(GetExecuteOnCompletion(setup.c_str())),
                  program.front() == '%' ? "C:\\Program Files\\Tools\\Done.exe" : program);
    }
    EXPECT_TRUE(machine().processes.user.messageBoxes.empty());
}

TEST_F(CompletionProgram, AMissingFileIsReportedUnlessMessagesAreOff) {
    struct Case {
        const char *show;
        bool boxShown;
    };
    for (const Case c : {Case{"NO", false}, Case{"no", false}, Case{"(absent)", false},
                         Case{"YES", true}, Case{"", true}, Case{"Perhaps", true}}) {
        machine().processes.user.messageBoxes.clear();
        configure(c.show, "C:\\Program Files\\Tools\\missing.exe");
        EXPECT_STREQ(GetExecuteOnCompletion(setup.c_str()), "Error Reading Value") << c.show;
        ASSERT_EQ(machine().processes.user.messageBoxes.size(), c.boxShown ? 1u : 0u) << c.show;
        if (c.boxShown) {
            const emu::MessageBoxRecord &box = machine().processes.user.messageBoxes[0];
            EXPECT_EQ(box.owner, nullptr);
            EXPECT_EQ(box.caption, "Quillane");
            EXPECT_EQ(box.text, kMissingText);
            EXPECT_EQ(box.style, MB_OK | MB_ICONEXCLAMATION);
        }
    }
}

TEST_F(CompletionProgram, AnEmptyValueMatchesNoFile) {
    configure("YES", "");
    EXPECT_STREQ(GetExecuteOnCompletion(setup.c_str()), "Error Reading Value");
    EXPECT_EQ(machine().processes.user.messageBoxes.size(), 1u);
}

TEST_F(CompletionProgram, TheSentinelInAnyCaseIsReturnedWithoutALookup) {
    configure("YES", "ERROR reading value");
    EXPECT_STREQ(GetExecuteOnCompletion(setup.c_str()), "ERROR reading value");
    EXPECT_TRUE(machine().processes.user.messageBoxes.empty());
}

TEST_F(CompletionProgram, TheBoxTitleIsTheDisplayNameReadAtLoad) {
    registry().setString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName", "Quillane Pro");
    reloadLibrary();
    configure("YES", "C:\\nowhere.exe");
    GetExecuteOnCompletion(setup.c_str());
    ASSERT_EQ(machine().processes.user.messageBoxes.size(), 1u);
    EXPECT_EQ(machine().processes.user.messageBoxes[0].caption, "Quillane Pro");
}

} // namespace
