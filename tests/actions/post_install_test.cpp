// The post-install steps on the emulated machine: initial settings files,
// the registry import, the old library's removal, the setup time stamp, the
// write-monitor set-up by the sibling libraries and the value deletion.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/kernel.h"
#include "radozavu.h"
#include "support/machine_test.h"

namespace fs = std::filesystem;

namespace {

const std::string kPreferencesKey = "Software\\Brevanta\\Quillane\\Preferences";
const std::string kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

class PostInstallTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        registry().create(HKEY_LOCAL_MACHINE, "Software"); // as every Windows has it
    }
    // A registry file that sets one text value under the product's preferences.
    static std::string registryFile(const std::string &value) {
        return "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Brevanta\\Quillane\\Preferences]\r\n"
               "\"Imported\"=\"" +
               value + "\"\r\n";
    }
    std::string imported() {
        return registry().stringValue(HKEY_LOCAL_MACHINE, kPreferencesKey, "Imported");
    }
    std::string pendingOperations() {
        const emu::RegValue *value =
            registry().value(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations");
        return value != nullptr ? std::string(value->data.begin(), value->data.end()) : "";
    }
    static SetupCallRecord record(const char *paramText) {
        SetupCallRecord result{};
        result.ParamText = paramText;
        return result;
    }
};

// ---- HKPerformPostInstallActions ----

class PerformPostInstallActions
    : public PostInstallTest,
      public ::testing::WithParamInterface<std::tuple<const char *, const char *>> {};

TEST_P(PerformPostInstallActions, DefaultFilesOfTheSetupFolderAreCopiedAndImported) {
    const auto [setupFolder, targetFolder] = GetParam();
    writeFile("C:\\Setup\\QLNINIT.INI", "[Initial]\r\nA=1\r\n");
    writeFile("C:\\Setup\\QLNCFG.REG", registryFile("default"));
    makeFolder("C:\\Program Files\\Brevanta\\Quillane");

    EXPECT_EQ(HKPerformPostInstallActions(setupFolder, targetFolder), 1);
    EXPECT_EQ(readFile("C:\\Program Files\\Brevanta\\Quillane\\QLNINIT.INI"),
              "[Initial]\r\nA=1\r\n");
    EXPECT_TRUE(fileExists("C:\\Setup\\QLNINIT.INI"));
    // The export waited for the editor: its import is done when it returns.
    EXPECT_EQ(imported(), "default");
    ASSERT_EQ(machine().processes.startedPrograms.size(), 1u);
    EXPECT_EQ(machine().processes.startedPrograms[0].startedBy, "ShellExecuteExA");
    EXPECT_EQ(machine().processes.startedPrograms[0].commandLine,
              "\"C:\\WINDOWS\\regedit.exe\" /s /i C:\\Setup\\QLNCFG.REG");
}

INSTANTIATE_TEST_SUITE_P(
    WithAndWithoutTrailingBackslashes, PerformPostInstallActions,
    ::testing::Values(std::make_tuple("C:\\Setup", "C:\\Program Files\\Brevanta\\Quillane"),
                      std::make_tuple("C:\\Setup\\", "C:\\Program Files\\Brevanta\\Quillane\\")));

TEST_F(PostInstallTest,
       ConfiguredFilesOfTheSetupFolderAreTakenAsWrittenTheRegistryFileByItsShortPath) {
    writeFile("C:\\Setup\\QLNSETUP.INI",
              "[Configuration]\r\n"
              "InitialPreferencesFile=c:\\setup\\Custom\\site prefs.ini\r\n"
              "InitialRegFile=C:\\Setup\\Custom Files\\site settings.reg\r\n");
    writeFile("C:\\Setup\\Custom\\site prefs.ini", "site");
    writeFile("C:\\Setup\\Custom Files\\site settings.reg", registryFile("site"));
    writeFile("C:\\Setup\\QLNINIT.INI", "default");
    writeFile("C:\\Setup\\QLNCFG.REG", registryFile("default"));
    makeFolder("C:\\Target");

    EXPECT_EQ(HKPerformPostInstallActions("C:\\Setup", "C:\\Target"), 1);
    EXPECT_EQ(readFile("C:\\Target\\QLNINIT.INI"), "site");
    EXPECT_EQ(imported(), "site");
    ASSERT_EQ(machine().processes.startedPrograms.size(), 1u);
    EXPECT_EQ(machine().processes.startedPrograms[0].commandLine,
              "\"C:\\WINDOWS\\regedit.exe\" /s /i C:\\Setup\\CUSTOM~1\\SITESE~1.REG");
}

// Whoever can edit the setup configuration cannot have another file of the
// machine copied into the install folder or imported into the registry: a
// setting names one file of the setup folder, or nothing is done with it.
TEST_F(PostInstallTest, SettingsNamingNoSingleFileOfTheSetupFolderAreNotUsed) {
    writeFile("C:\\Secret\\admin.dat", registryFile("secret"));
    writeFile("C:\\Setup\\one.dat", registryFile("pattern"));
    writeFile("C:\\Setup\\\"quoted\".dat", registryFile("quoted"));
    makeFolder("C:\\Setup\\Folder.dat");
    makeFolder("C:\\Target");
    for (const char *setting :
         {"C:\\Secret\\admin.dat", "Secret\\admin.dat", "C:\\Setup\\..\\Secret\\admin.dat",
          "C:\\Setup\\*.dat", "C:\\Setup\\\"quoted\".dat", "C:\\Setup\\Folder.dat"}) {
        SCOPED_TRACE(setting);
        writeFile("C:\\Setup\\QLNSETUP.INI",
                  std::string("[Configuration]\r\nInitialPreferencesFile=") + setting +
                      "\r\nInitialRegFile=" + setting + "\r\n");
        EXPECT_EQ(HKPerformPostInstallActions("C:\\Setup", "C:\\Target"), 1);
        EXPECT_FALSE(fileExists("C:\\Target\\QLNINIT.INI"));
        EXPECT_TRUE(machine().processes.startedPrograms.empty());
    }
    for (const char *path :
         {"C:\\Setup\\*.dat", "C:\\Setup\\\"quoted\".dat", "C:\\Setup\\Folder.dat"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(ExecInitialRegFileEX(path), 1);
        EXPECT_EQ(MoveInitialPreferencesFileEX(path, "C:\\Target\\"), 0);
        EXPECT_FALSE(fileExists("C:\\Target\\QLNINIT.INI"));
        EXPECT_TRUE(machine().processes.startedPrograms.empty());
    }
    EXPECT_EQ(imported(), "");
}

// An empty folder is no folder: joined to a name it would put the file in
// the current folder or the root of the current drive.
TEST_F(PostInstallTest, EmptyTargetFolderGetsNothingWritten) {
    writeFile("C:\\Setup\\QLNINIT.INI", "prefs");
    writeFile("C:\\Setup\\QLNCFG.REG", registryFile("empty target"));
    writeFile("C:\\BIN\\MFC42.DLL", "old");
    makeFolder("C:\\Work");
    machine().files.currentDirectory = "C:\\Work";
    const SetupCallRecord noFolder = record("");

    EXPECT_EQ(HKPerformPostInstallActions("C:\\Setup", ""), 0);
    EXPECT_EQ(MoveInitialPreferencesFileEX("C:\\Setup\\QLNINIT.INI", ""), 0);
    EXPECT_EQ(MoveAllINIFilesEX("C:\\Setup\\", ""), 0);
    EXPECT_EQ(HKSetupCleanUpOldFiles(&noFolder), 0);
    for (const char *written : {"C:\\QLNINIT.INI", "C:\\Work\\QLNINIT.INI"}) {
        EXPECT_FALSE(fileExists(written)) << written;
    }
    EXPECT_TRUE(fileExists("C:\\BIN\\MFC42.DLL"));
    EXPECT_EQ(pendingOperations(), "");
    EXPECT_EQ(imported(), "");
}

TEST_F(PostInstallTest, RegistryFileWithoutAUsableShortPathIsPassedInQuotes) {
    writeFile("C:\\Setup Files\\QLNCFG.REG", registryFile("quoted"));
    makeFolder("C:\\Target");
    for (const emu::ShortNames shortNames : {emu::ShortNames::LookupFails, emu::ShortNames::Off}) {
        machine().files.shortNames = shortNames;
        machine().processes.startedPrograms.clear();
        registry().setString(HKEY_LOCAL_MACHINE, kPreferencesKey, "Imported", "");
        EXPECT_EQ(HKPerformPostInstallActions("C:\\Setup Files", "C:\\Target"), 1);
        EXPECT_EQ(imported(), "quoted");
        ASSERT_EQ(machine().processes.startedPrograms.size(), 1u);
        EXPECT_EQ(machine().processes.startedPrograms[0].commandLine,
                  "\"C:\\WINDOWS\\regedit.exe\" /s /i \"C:\\Setup Files\\QLNCFG.REG\"");
    }
}

TEST_F(PostInstallTest, MissingArgumentsFilesAndOverlongPathsSkipTheSteps) {
    writeFile("C:\\Setup\\QLNINIT.INI", "x");
    EXPECT_EQ(HKPerformPostInstallActions(nullptr, "C:\\Target"), 0);
    EXPECT_EQ(HKPerformPostInstallActions("C:\\Setup", nullptr), 0);

    makeFolder("C:\\Target");
    EXPECT_EQ(HKPerformPostInstallActions("C:\\Empty", "C:\\Target"), 1);
    EXPECT_FALSE(fileExists("C:\\Target\\QLNINIT.INI"));
    EXPECT_TRUE(machine().processes.startedPrograms.empty());

    // A configured path longer than a path can be is not cut to another file.
    const std::string longName(300, 'x');
    writeFile("C:\\Setup\\QLNSETUP.INI",
              "[Configuration]\r\nInitialPreferencesFile=C:\\Setup\\QLNINIT.INI" + longName +
                  "\r\n");
    EXPECT_EQ(HKPerformPostInstallActions("C:\\Setup", "C:\\Target"), 1);
    EXPECT_FALSE(fileExists("C:\\Target\\QLNINIT.INI"));
    // A target folder too long for the destination path.
    fs::remove(hostPath("C:\\Setup\\QLNSETUP.INI"));
    const std::string longTarget = "C:\\" + std::string(250, 't');
    makeFolder(longTarget);
    EXPECT_EQ(HKPerformPostInstallActions("C:\\Setup\\", longTarget.c_str()), 1);
    EXPECT_FALSE(fileExists(longTarget + "\\QLNINIT.INI"));
}

// ---- MoveInitialPreferencesFileEX, MoveAllINIFilesEX ----

TEST_F(PostInstallTest, PreferencesFileIsCopiedIntoTheFolderOrBesideIt) {
    writeFile("C:\\Setup\\prefs.ini", "prefs");
    makeFolder("C:\\Target");
    EXPECT_EQ(MoveInitialPreferencesFileEX("C:\\Setup\\prefs.ini", "C:\\Target\\"), 0);
    EXPECT_EQ(readFile("C:\\Target\\QLNINIT.INI"), "prefs");
    EXPECT_TRUE(fileExists("C:\\Setup\\prefs.ini"));
    // Without its trailing backslash the folder name runs into the file name.
    EXPECT_EQ(MoveInitialPreferencesFileEX("C:\\Setup\\prefs.ini", "C:\\Target"), 0);
    EXPECT_EQ(readFile("C:\\TargetQLNINIT.INI"), "prefs");

    writeFile("C:\\Target\\QLNINIT.INI", "kept");
    EXPECT_EQ(MoveInitialPreferencesFileEX("C:\\Setup\\missing.ini", "C:\\Target\\"), 0);
    EXPECT_EQ(MoveInitialPreferencesFileEX(nullptr, "C:\\Target\\"), 0);
    EXPECT_EQ(readFile("C:\\Target\\QLNINIT.INI"), "kept");
}

TEST_F(PostInstallTest, EveryIniFileIsCopiedEvenWhenOneCopyFails) {
    writeFile("C:\\Setup\\a.ini", "a");
    writeFile("C:\\Setup\\B.INI", "b");
    writeFile("C:\\Setup\\c.ini", "c");
    writeFile("C:\\Setup\\notes.txt", "n");
    writeFile("C:\\Target\\b.ini", "locked");
    machine().files.filesInUse.push_back("C:\\Target\\b.ini");

    EXPECT_EQ(MoveAllINIFilesEX("C:\\Setup\\", "C:\\Target\\"), 1);
    EXPECT_EQ(readFile("C:\\Target\\a.ini"), "a");
    EXPECT_EQ(readFile("C:\\Target\\b.ini"), "locked");
    EXPECT_EQ(readFile("C:\\Target\\c.ini"), "c");
    EXPECT_FALSE(fileExists("C:\\Target\\notes.txt"));
    EXPECT_TRUE(fileExists("C:\\Setup\\a.ini"));

    // A destination without its trailing backslash is joined to the names directly.
    EXPECT_EQ(MoveAllINIFilesEX("C:\\Setup\\", "C:\\Target"), 1);
    EXPECT_EQ(readFile("C:\\Targeta.ini"), "a");

    EXPECT_EQ(MoveAllINIFilesEX("C:\\Target\\Nothing\\", "C:\\Setup\\"), 0);
    const std::string longSource =
        "C:\\" + std::string(200, 'l') + "\\" + std::string(60, 'l') + "\\";
    writeFile(longSource + "long.ini", "long");
    EXPECT_EQ(MoveAllINIFilesEX(longSource.c_str(), "C:\\Target\\"), 0);
    EXPECT_FALSE(fileExists("C:\\Target\\long.ini"));
}

// ---- ExecInitialRegFileEX ----

TEST_F(PostInstallTest, RegistryFileIsImportedByTheEditorAsOneQuotedArgument) {
    writeFile("C:\\Setup Files\\QLNCFG.REG", registryFile("exec"));
    EXPECT_EQ(ExecInitialRegFileEX("C:\\Setup Files\\QLNCFG.REG"), 1);
    EXPECT_EQ(imported(), "exec");
    ASSERT_EQ(machine().processes.startedPrograms.size(), 1u);
    EXPECT_EQ(machine().processes.startedPrograms[0].startedBy, "CreateProcessA");
    EXPECT_EQ(machine().processes.startedPrograms[0].commandLine,
              "\"C:\\WINDOWS\\regedit.exe\" /s /i \"C:\\Setup Files\\QLNCFG.REG\"");
    EXPECT_TRUE(
        machine().processes.running[machine().processes.startedPrograms[0].processId]->exited);
}

TEST_F(PostInstallTest, MissingRegistryFileCountsAsDoneAndAMissingEditorAsFailure) {
    EXPECT_EQ(ExecInitialRegFileEX("C:\\Setup\\QLNCFG.REG"), 1);
    EXPECT_EQ(ExecInitialRegFileEX(nullptr), 1);
    EXPECT_TRUE(machine().processes.startedPrograms.empty());

    // A malformed file: the editor ran, the registry is unchanged.
    writeFile("C:\\Setup\\QLNCFG.REG", registryFile("broken") + "\"Bad\"=hex:zz\r\n");
    EXPECT_EQ(ExecInitialRegFileEX("C:\\Setup\\QLNCFG.REG"), 1);
    EXPECT_EQ(imported(), "");
    ASSERT_EQ(machine().processes.registryImports.size(), 1u);
    EXPECT_FALSE(machine().processes.registryImports[0].imported);

    fs::remove(hostPath("C:\\WINDOWS\\regedit.exe"));
    EXPECT_EQ(ExecInitialRegFileEX("C:\\Setup\\QLNCFG.REG"), 0);
}

// ---- HKSetupCleanUpOldFiles ----

TEST_F(PostInstallTest, OldLibraryIsDeletedOrLeftForTheNextStartOfTheSystem) {
    writeFile("C:\\App\\BIN\\MFC42.DLL", "old");
    SetupCallRecord folder = record("C:\\App\\");
    EXPECT_EQ(HKSetupCleanUpOldFiles(&folder), 0);
    EXPECT_FALSE(fileExists("C:\\App\\BIN\\MFC42.DLL"));
    EXPECT_EQ(pendingOperations(), "");

    writeFile("C:\\App\\BIN\\MFC42.DLL", "in use");
    machine().files.filesInUse.push_back("C:\\App\\BIN\\MFC42.DLL");
    folder = record("C:\\App");
    EXPECT_EQ(HKSetupCleanUpOldFiles(&folder), 0);
    EXPECT_TRUE(fileExists("C:\\App\\BIN\\MFC42.DLL"));
    EXPECT_EQ(pendingOperations(), std::string("\\??\\C:\\App\\BIN\\MFC42.DLL\0\0\0", 27));

    // An absent file is not put on the list: whatever the name leads to at
    // the next start, nothing was there to remove.
    folder = record("C:\\Other\\");
    EXPECT_EQ(HKSetupCleanUpOldFiles(&folder), 0);
    EXPECT_EQ(pendingOperations(), std::string("\\??\\C:\\App\\BIN\\MFC42.DLL\0\0\0", 27));
}

TEST_F(PostInstallTest, CleanUpShowsTheBusyCursorAndIgnoresAMissingFolder) {
    EXPECT_EQ(HKSetupCleanUpOldFiles(nullptr), 0);
    SetupCallRecord empty = record(nullptr);
    EXPECT_EQ(HKSetupCleanUpOldFiles(&empty), 0);
    const std::string tooLong = "C:\\" + std::string(250, 'f');
    SetupCallRecord overlong = record(tooLong.c_str());
    EXPECT_EQ(HKSetupCleanUpOldFiles(&overlong), 0);
    EXPECT_EQ(pendingOperations(), "");

    const auto &cursors = machine().processes.user.cursorHistory;
    ASSERT_EQ(cursors.size(), 6u);
    EXPECT_EQ(cursors[0], reinterpret_cast<HCURSOR>(IDC_WAIT));
    EXPECT_EQ(cursors[1], nullptr);
}

// ---- HKUpdateSetupDateInRegistry ----

TEST_F(PostInstallTest, SetupTimeIsStoredAsSignedHalvesOfTheFileTime) {
    emu::setSystemTime(0x01C44E7F80000001ull);
    EXPECT_EQ(HKUpdateSetupDateInRegistryEX(), 0);
    EXPECT_EQ(registry().stringValue(HKEY_LOCAL_MACHINE, kPreferencesKey, "LastSetupTime"),
              "29642367--2147483647");
    EXPECT_EQ(registry().value(HKEY_LOCAL_MACHINE, kPreferencesKey, "LastSetupTime")->type, REG_SZ);

    win::Sleep(2000); // the low half goes on to 0x80000001 + 20,000,000
    EXPECT_EQ(HKUpdateSetupDateInRegistry(nullptr), 0);
    EXPECT_EQ(registry().stringValue(HKEY_LOCAL_MACHINE, kPreferencesKey, "LastSetupTime"),
              "29642367--2127483647");

    emu::setSystemTime(0x0000000100000002ull);
    EXPECT_EQ(HKUpdateSetupDateInRegistryEX(), 0);
    EXPECT_EQ(registry().stringValue(HKEY_LOCAL_MACHINE, kPreferencesKey, "LastSetupTime"), "1-2");
}

TEST_F(PostInstallTest, SetupTimeFollowsTheRegistryNamesAndFailsSilently) {
    RADOzavu_SetRegistryInfo("Other Company", "Other Product");
    EXPECT_EQ(HKUpdateSetupDateInRegistryEX(), 0);
    EXPECT_NE(registry().stringValue(HKEY_LOCAL_MACHINE,
                                     "Software\\Other Company\\Other Product\\Preferences",
                                     "LastSetupTime"),
              "");
    EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, kPreferencesKey));

    reloadLibrary();
    registry().create(HKEY_LOCAL_MACHINE, "Software")->denyWrite = true;
    EXPECT_EQ(HKUpdateSetupDateInRegistryEX(), 0);
    EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, kPreferencesKey));
}

// ---- HKConfigureWriteMonitorPaths ----

class WriteMonitorTest : public PostInstallTest {
protected:
    void SetUp() override {
        PostInstallTest::SetUp();
        record_ = root_ + "/standin-record.txt";
        setenv("RADOZAVU_STANDIN_RECORD", record_.c_str(), 1);
        unsetenv("RADOZAVU_ZEPPROJ_RESULT");
    }
    void TearDown() override {
        unsetenv("RADOZAVU_STANDIN_RECORD");
        unsetenv("RADOZAVU_ZEPPROJ_RESULT");
        PostInstallTest::TearDown();
    }
    // Puts a stand-in library into a machine folder under a file name.
    void install(const char *standin, const std::string &machinePath) {
        makeFolder(machinePath.substr(0, machinePath.find_last_of('\\')));
        fs::copy_file(std::string(RADOZAVU_STANDIN_FOLDER) + "/" + standin, hostPath(machinePath));
    }
    std::string recorded() const {
        std::ifstream in(record_);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
    std::string record_;
};

TEST_F(WriteMonitorTest, BothLibrariesLoadInOrderAndTheEntryPointsResultIsReturned) {
    install("Rezedev.dll", "C:\\Quillane\\Rezedev.dll");
    install("ZepProj.dll", "C:\\Quillane\\ZepProj.dll");
    setenv("RADOZAVU_ZEPPROJ_RESULT", "7", 1);
    // A folder with its backslash gets a second one.
    EXPECT_EQ(HKConfigureWriteMonitorPathsEX("C:\\Quillane\\"), 7);
    EXPECT_EQ(recorded(), "load Rezedev.dll\nload ZepProj.dll\nHKPopulateWriteMonitorPaths\n");
    ASSERT_EQ(machine().processes.libraries.size(), 2u);
    EXPECT_EQ(machine().processes.libraries[0].machinePath, "C:\\Quillane\\\\Rezedev.dll");
    EXPECT_EQ(machine().processes.libraries[1].machinePath, "C:\\Quillane\\\\ZepProj.dll");

    // The record form; the libraries stay loaded and are not loaded again.
    setenv("RADOZAVU_ZEPPROJ_RESULT", "0", 1);
    SetupCallRecord folder = record("C:\\Quillane");
    EXPECT_EQ(HKConfigureWriteMonitorPaths(&folder), 0);
    EXPECT_EQ(recorded(), "load Rezedev.dll\nload ZepProj.dll\nHKPopulateWriteMonitorPaths\n"
                          "HKPopulateWriteMonitorPaths\n");
}

TEST_F(WriteMonitorTest, MissingFolderLibraryOrEntryPoint) {
    EXPECT_EQ(HKConfigureWriteMonitorPathsEX(nullptr), 1);
    EXPECT_EQ(HKConfigureWriteMonitorPaths(nullptr), 1);
    SetupCallRecord empty = record(nullptr);
    EXPECT_EQ(HKConfigureWriteMonitorPaths(&empty), 1);
    // An empty folder is no folder: the libraries at the drive's root stay unloaded.
    install("Rezedev.dll", "C:\\Rezedev.dll");
    install("ZepProj.dll", "C:\\ZepProj.dll");
    EXPECT_EQ(HKConfigureWriteMonitorPathsEX(""), 1);
    empty = record("");
    EXPECT_EQ(HKConfigureWriteMonitorPaths(&empty), 1);
    EXPECT_TRUE(machine().processes.libraries.empty());

    // Without Rezedev.dll, ZepProj.dll is not even loaded.
    install("ZepProj.dll", "C:\\NoRezedev\\ZepProj.dll");
    EXPECT_EQ(HKConfigureWriteMonitorPathsEX("C:\\NoRezedev"), 0);
    EXPECT_EQ(recorded(), "");

    install("Rezedev.dll", "C:\\NoZepProj\\Rezedev.dll");
    EXPECT_EQ(HKConfigureWriteMonitorPathsEX("C:\\NoZepProj"), 0);
    EXPECT_EQ(recorded(), "load Rezedev.dll\n");

    // A ZepProj.dll without the entry point.
    install("Rezedev.dll", "C:\\NoEntry\\Rezedev.dll");
    install("Rezedev.dll", "C:\\NoEntry\\ZepProj.dll");
    EXPECT_EQ(HKConfigureWriteMonitorPathsEX("C:\\NoEntry"), 0);
    EXPECT_EQ(recorded(), "load Rezedev.dll\nload Rezedev.dll\nload Rezedev.dll\n");
}

// ---- HKDelRegistryEntry ----

TEST_F(PostInstallTest, OnlySelectorTwoDeletesAValueUnderTheLocalMachine) {
    const std::string key = "Software\\Brevanta\\Quillane\\Reserved";
    registry().setString(HKEY_LOCAL_MACHINE, key, "Obsolete", "x");
    registry().setString(HKEY_CURRENT_USER, key, "Obsolete", "x");
    EXPECT_EQ(HKDelRegistryEntry(1, key.c_str(), "Obsolete"), 0);
    EXPECT_EQ(HKDelRegistryEntry(3, key.c_str(), "Obsolete"), 0);
    EXPECT_NE(registry().value(HKEY_LOCAL_MACHINE, key, "Obsolete"), nullptr);
    EXPECT_NE(registry().value(HKEY_CURRENT_USER, key, "Obsolete"), nullptr);

    EXPECT_EQ(HKDelRegistryEntry(2, key.c_str(), "Obsolete"), 1);
    EXPECT_EQ(registry().value(HKEY_LOCAL_MACHINE, key, "Obsolete"), nullptr);
    EXPECT_NE(registry().value(HKEY_CURRENT_USER, key, "Obsolete"), nullptr);
    EXPECT_EQ(HKDelRegistryEntry(2, key.c_str(), "Obsolete"), 0);
    EXPECT_EQ(HKDelRegistryEntry(2, "Software\\Missing", "Obsolete"), 0);
    EXPECT_EQ(HKDelRegistryEntry(2, nullptr, "Obsolete"), 0);
    EXPECT_EQ(HKDelRegistryEntry(2, key.c_str(), nullptr), 0);

    registry().setString(HKEY_LOCAL_MACHINE, key, "Locked", "x");
    registry().find(HKEY_LOCAL_MACHINE, key)->denyWrite = true;
    EXPECT_EQ(HKDelRegistryEntry(2, key.c_str(), "Locked"), 0);
    EXPECT_NE(registry().value(HKEY_LOCAL_MACHINE, key, "Locked"), nullptr);
}

} // namespace
