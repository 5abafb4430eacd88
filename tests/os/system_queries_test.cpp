// The system and location queries on the emulated machine: the install
// folder check in both forms, the version questions, the default install
// folder, the common desktop with its fallbacks and the setup program's path.
#include <string>

#include "radozavu.h"
#include "support/machine_test.h"

namespace {

HWND installerWindow() { return reinterpret_cast<HWND>(0x5150); }

class FolderValidation : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        for (const auto &[letter, type] : {std::pair{'A', emu::DriveRemovable},
                                           {'E', emu::DriveCdrom},
                                           {'N', emu::DriveRemote},
                                           {'R', emu::DriveRamdisk},
                                           {'U', emu::DriveUnknown}}) {
            machine().files.drives[letter] = emu::Drive{root_, type};
        }
    }
    int validateRecord(const char *path) {
        SetupCallRecord record{};
        record.OwnerWindow = installerWindow();
        record.ParamText = path;
        return HKSetupValidateLocalDirectory(&record);
    }
};

struct FolderCase {
    const char *path;
    int plainResult;
    UINT messageShown; // by the record form; 0 for none
};

TEST_F(FolderValidation, LocalFoldersAreAcceptedOthersRefusedInBothForms) {
    const FolderCase cases[] = {
        {"C:\\Program Files\\Brevanta\\Quillane", 0, 0},
        {"C:\\", 0, 0},
        {"c:\\quillane", 0, 0},
        {"C:x", 0, 0}, // three characters, on a fixed drive
        {"A:\\Quillane", 0, 0},
        {"C:", 1, 434},
        {"a:", 1, 434},
        {"C", 1, 434},
        {"E:\\Quillane", 2, 433},
        {"E:", 2, 433}, // not local comes before bare drive
        {"N:\\Quillane", 2, 433},
        {"R:\\Quillane", 2, 433},
        {"U:\\Quillane", 2, 433},
        {"Z:\\Quillane", 2, 433}, // no such drive
        {"\\\\server\\share\\Quillane", 2, 433},
        {"Quillane", 2, 433},
        {"", 2, 433},
    };
    const std::string notLocal = "Please select a folder on your LOCAL computer...";
    const std::string bareDrive = "You cannot select the root directory of a drive...";
    for (const FolderCase &c : cases) {
        SCOPED_TRACE(c.path);
        machine().processes.user.messageBoxes.clear();
        EXPECT_EQ(HKSetupValidateLocalDirectoryEX(c.path), c.plainResult);
        EXPECT_TRUE(machine().processes.user.messageBoxes.empty());

        EXPECT_EQ(validateRecord(c.path), c.messageShown == 0 ? 0 : 1);
        if (c.messageShown == 0) {
            EXPECT_TRUE(machine().processes.user.messageBoxes.empty());
            continue;
        }
        ASSERT_EQ(machine().processes.user.messageBoxes.size(), 1u);
        const emu::MessageBoxRecord &box = machine().processes.user.messageBoxes[0];
        EXPECT_EQ(box.owner, installerWindow());
        EXPECT_EQ(box.caption, "Quillane Installation");
        EXPECT_EQ(box.text, c.messageShown == 434 ? bareDrive : notLocal);
        EXPECT_EQ(box.style, MB_OK);
    }
}

TEST_F(FolderValidation, NoPathGivesOneWithoutABox) {
    EXPECT_EQ(HKSetupValidateLocalDirectoryEX(nullptr), 1);
    EXPECT_EQ(validateRecord(nullptr), 1);
    EXPECT_EQ(HKSetupValidateLocalDirectory(nullptr), 1);
    EXPECT_TRUE(machine().processes.user.messageBoxes.empty());
}

TEST_F(FolderValidation, TheWaitCursorShowsUntilTheBoxIsClosed) {
    const HCURSOR before = machine().processes.user.cursor;
    const HCURSOR wait = reinterpret_cast<HCURSOR>(IDC_WAIT);
    HCURSOR duringBox = nullptr;
    machine().processes.user.responder = [&](const emu::MessageBoxRecord &) {
        duringBox = machine().processes.user.cursor;
        return IDOK;
    };
    EXPECT_EQ(validateRecord("E:\\Quillane"), 1);
    EXPECT_EQ(duringBox, wait);
    EXPECT_EQ(machine().processes.user.cursor, before);
    machine().processes.user.cursorHistory.clear();
    EXPECT_EQ(HKSetupValidateLocalDirectoryEX("C:\\Quillane"), 0);
    EXPECT_EQ(machine().processes.user.cursorHistory, (std::vector<HCURSOR>{wait, before}));
}

struct VersionCase {
    const char *system;
    DWORD platform, major, minor;
    int windows2000, windowsXP;
};

using VersionQueries = MachineTest;

TEST_F(VersionQueries, AnswerByPlatformAndVersion) {
    const VersionCase cases[] = {
        {"Windows 95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0, 0},
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0, 0},
        {"Windows Me", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0, 0},
        {"Windows NT 4.0", VER_PLATFORM_WIN32_NT, 4, 0, 0, 0},
        {"Windows 2000", VER_PLATFORM_WIN32_NT, 5, 0, 1, 0},
        {"Windows XP", VER_PLATFORM_WIN32_NT, 5, 1, 1, 1},
        {"Windows Server 2003", VER_PLATFORM_WIN32_NT, 5, 2, 1, 0},
        {"Windows Vista", VER_PLATFORM_WIN32_NT, 6, 0, 1, 0},
        {"Windows 7", VER_PLATFORM_WIN32_NT, 6, 1, 1, 0},
        {"Win32s 5.1", VER_PLATFORM_WIN32s, 5, 1, 0, 0},
    };
    for (const VersionCase &c : cases) {
        SCOPED_TRACE(c.system);
        machine().system.version.platform = c.platform;
        machine().system.version.major = c.major;
        machine().system.version.minor = c.minor;
        EXPECT_EQ(HKIsWindows2000(), c.windows2000);
        EXPECT_EQ(HKIsWindowsXP(), c.windowsXP);
    }
    machine().system.version.queryFails = true;
    EXPECT_EQ(HKIsWindows2000(), 0);
    EXPECT_EQ(HKIsWindowsXP(), 0);
}

class Locations : public MachineTest {
protected:
    static constexpr const char *kShellFolders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    static constexpr const char *kCommonDesktop = "C:\\Documents and Settings\\All Users\\Desktop";
    static constexpr const char *kUserDesktop =
        "C:\\Documents and Settings\\Administrator\\Desktop";
    void registerCommonDesktop(const std::string &path) {
        registry().setString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop", path);
    }
};

TEST_F(Locations, TheDefaultInstallFolderIsOnCEvenWhenWindowsIsNot) {
    machine().files.drives['D'] = emu::Drive{root_, emu::DriveFixed};
    machine().system.windowsFolder = "D:\\WINNT";
    machine().system.environment["SystemDrive"] = "D:";
    machine().system.environment["ProgramFiles"] = "D:\\Program Files";
    EXPECT_STREQ(HKSetupGetDefaultInstallLocation(), "C:\\Program Files\\Brevanta\\Quillane");
}

TEST_F(Locations, TheCommonDesktopFallsBackToTheRegistryThenToTheUsersDesktop) {
    registerCommonDesktop("D:\\Registered Desktop");
    EXPECT_STREQ(HKSetupGetCommonDesktopLocation(), kCommonDesktop);

    // The shell has the folder but no file-system path for it.
    machine().system.specialFolders[CSIDL_COMMON_DESKTOPDIRECTORY] = "";
    EXPECT_STREQ(HKSetupGetCommonDesktopLocation(), "D:\\Registered Desktop");

    machine().system.specialFolders.erase(CSIDL_COMMON_DESKTOPDIRECTORY);
    EXPECT_STREQ(HKSetupGetCommonDesktopLocation(), "D:\\Registered Desktop");

    registerCommonDesktop("");
    EXPECT_STREQ(HKSetupGetCommonDesktopLocation(), kUserDesktop);

    registry().find(HKEY_LOCAL_MACHINE, kShellFolders)->values.clear();
    EXPECT_STREQ(HKSetupGetCommonDesktopLocation(), kUserDesktop);

    // A value longer than the 260-byte buffer cannot be read.
    registerCommonDesktop("C:\\" + std::string(300, 'd'));
    EXPECT_STREQ(HKSetupGetCommonDesktopLocation(), kUserDesktop);

    machine().system.specialFolders.clear();
    EXPECT_STREQ(HKSetupGetCommonDesktopLocation(), "");
}

TEST_F(Locations, ARegisteredDesktopThatFillsTheBufferIsCutNotOverrun) {
    machine().system.specialFolders.erase(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::string filling(MAX_PATH, 'd'); // no terminator stored
    registry().setBinary(HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop",
                         std::vector<BYTE>(filling.begin(), filling.end()), REG_SZ);
    EXPECT_EQ(std::string(HKSetupGetCommonDesktopLocation()), filling.substr(0, MAX_PATH - 1));
}

TEST_F(Locations, TheCommonDesktopIsWrittenToTheNamedProfileFile) {
    makeFolder("C:\\Setup");
    SetupCallRecord record{};
    record.ParamText = "C:\\Setup\\answers.ini";
    const HCURSOR before = machine().processes.user.cursor;
    EXPECT_EQ(HKSetupGetCommonDesktopFolderLocation(&record), 0);
    EXPECT_EQ(machine().processes.user.cursorHistory,
              (std::vector<HCURSOR>{reinterpret_cast<HCURSOR>(IDC_WAIT), before}));
    EXPECT_EQ(readFile("C:\\Setup\\answers.ini"),
              std::string("[SECTION]\r\nCommon Desktop=") + kCommonDesktop + "\r\n");

    // A bare name is a file of the Windows folder.
    record.ParamText = "desktop.ini";
    EXPECT_EQ(HKSetupGetCommonDesktopFolderLocation(&record), 0);
    EXPECT_EQ(readFile("C:\\WINDOWS\\desktop.ini"),
              "[SECTION]\r\nCommon Desktop=" + std::string(kCommonDesktop) + "\r\n");

    // A file that cannot be written is not reported.
    record.ParamText = "Q:\\answers.ini";
    EXPECT_EQ(HKSetupGetCommonDesktopFolderLocation(&record), 0);

    record.ParamText = nullptr;
    EXPECT_EQ(HKSetupGetCommonDesktopFolderLocation(&record), 1);
    EXPECT_EQ(HKSetupGetCommonDesktopFolderLocation(nullptr), 1);
}

TEST_F(Locations, TheSetupProgramsPathIsCutToTheBuffer) {
    EXPECT_STREQ(HKGetSetupExePath(), "C:\\Setup\\SETUP.EXE");
    machine().processes.programFile = "C:\\" + std::string(300, 's') + "\\SETUP.EXE";
    EXPECT_EQ(std::string(HKGetSetupExePath()),
              machine().processes.programFile.substr(0, MAX_PATH - 1));
}

} // namespace
