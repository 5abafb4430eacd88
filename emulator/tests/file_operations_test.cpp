// File copies, deletions, deletions at the next start, short names and the
// system time of the emulated machine.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>

#include "platform/file_operations.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/system.h"
#include "platform/system_time.h"
#include "support/machine_test.h"

namespace fs = std::filesystem;

namespace {

class FileOperationsTest : public MachineTest {
protected:
    void makeReadOnly(const std::string &machinePath) {
        fs::permissions(hostPath(machinePath), fs::perms::owner_write, fs::perm_options::remove);
    }
    std::string pendingOperations() {
        const emu::RegValue *value = registry().value(
            HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
            "PendingFileRenameOperations");
        EXPECT_NE(value, nullptr);
        EXPECT_EQ(value != nullptr ? value->type : REG_NONE, REG_MULTI_SZ);
        return value != nullptr ? std::string(value->data.begin(), value->data.end()) : "";
    }
    // Texts as a REG_MULTI_SZ list holds them: each closed by a zero byte,
    // the list by one more.
    static std::string list(std::initializer_list<std::string> texts) {
        std::string result;
        for (const std::string &text : texts) {
            result += text + '\0';
        }
        return result + '\0';
    }
    std::string shortPath(const std::string &path) {
        char buffer[MAX_PATH];
        const DWORD length = win::GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
        return length > 0 && length < sizeof buffer ? std::string(buffer, length) : "(failed)";
    }
};

TEST_F(FileOperationsTest, CopyReplacesWholeFilesAndRefusesWhatWindowsRefuses) {
    writeFile("C:\\Setup\\QLNINIT.INI", "[Settings]\r\nA=1\r\n");
    ASSERT_TRUE(win::CopyFileA("C:\\setup\\qlninit.ini", "C:\\Target\\..\\QLNINIT.INI", FALSE));
    EXPECT_EQ(readFile("C:\\QLNINIT.INI"), "[Settings]\r\nA=1\r\n");
    writeFile("C:\\Setup\\QLNINIT.INI", "new");
    EXPECT_FALSE(win::CopyFileA("C:\\Setup\\QLNINIT.INI", "C:\\QLNINIT.INI", TRUE));
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_EXISTS);
    ASSERT_TRUE(win::CopyFileA("C:\\Setup\\QLNINIT.INI", "C:\\QLNINIT.INI", FALSE));
    EXPECT_EQ(readFile("C:\\QLNINIT.INI"), "new");
    EXPECT_EQ(readFile("C:\\Setup\\QLNINIT.INI"), "new");

    EXPECT_FALSE(win::CopyFileA("C:\\Setup\\missing.ini", "C:\\x.ini", FALSE));
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(win::CopyFileA("C:\\Setup\\QLNINIT.INI", "C:\\No Folder\\x.ini", FALSE));
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(win::CopyFileA("C:\\Setup", "C:\\x.ini", FALSE));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    makeReadOnly("C:\\QLNINIT.INI");
    EXPECT_FALSE(win::CopyFileA("C:\\Setup\\QLNINIT.INI", "C:\\QLNINIT.INI", FALSE));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    writeFile("C:\\Busy.ini", "old");
    machine().filesInUse.push_back("c:\\busy.ini");
    EXPECT_FALSE(win::CopyFileA("C:\\Setup\\QLNINIT.INI", "C:\\Busy.ini", FALSE));
    EXPECT_EQ(win::GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(readFile("C:\\Busy.ini"), "old");
}

TEST_F(FileOperationsTest, DeleteRemovesFilesButNotFoldersOrFilesInUse) {
    writeFile("C:\\App\\BIN\\MFC42.DLL", "x");
    writeFile("C:\\App\\BIN\\LOCKED.DLL", "x");
    writeFile("C:\\App\\BIN\\READONLY.DLL", "x");
    machine().filesInUse.push_back("C:\\App\\BIN\\LOCKED.DLL");
    makeReadOnly("C:\\App\\BIN\\READONLY.DLL");

    EXPECT_TRUE(win::DeleteFileA("C:\\App\\bin\\mfc42.dll"));
    EXPECT_FALSE(fileExists("C:\\App\\BIN\\MFC42.DLL"));
    EXPECT_FALSE(win::DeleteFileA("C:\\App\\BIN\\MFC42.DLL"));
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(win::DeleteFileA("C:\\Gone\\MFC42.DLL"));
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(win::DeleteFileA("C:\\App\\BIN\\LOCKED.DLL"));
    EXPECT_EQ(win::GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(win::DeleteFileA("C:\\App\\BIN\\READONLY.DLL"));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(win::DeleteFileA("C:\\App\\BIN"));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fileExists("C:\\App\\BIN\\LOCKED.DLL"));
    EXPECT_TRUE(fileExists("C:\\App\\BIN\\READONLY.DLL"));
}

TEST_F(FileOperationsTest, DelayedOperationsAreListedForTheNextStartOfTheSystem) {
    ASSERT_TRUE(win::MoveFileExA("C:\\App\\BIN\\MFC42.DLL", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(pendingOperations(), list({"\\??\\C:\\App\\BIN\\MFC42.DLL", ""}));

    machine().currentDirectory = "C:\\App";
    ASSERT_TRUE(win::MoveFileExA("new\\a.dll", "c:\\app\\.\\a.dll",
                                 MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(pendingOperations(), list({"\\??\\C:\\App\\BIN\\MFC42.DLL", "",
                                         "\\??\\C:\\App\\new\\a.dll", "!\\??\\C:\\app\\a.dll"}));

    EXPECT_FALSE(win::MoveFileExA("C:\\a.dll", nullptr, 0));
    EXPECT_FALSE(win::MoveFileExA("C:\\a.dll", nullptr,
                                  MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FileOperationsTest, DelayedOperationsNeedWindowsNtAndWriteAccess) {
    const std::string sessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    registry().create(HKEY_LOCAL_MACHINE, sessionManager)->denyWrite = true;
    EXPECT_FALSE(win::MoveFileExA("C:\\a.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);

    registry().find(HKEY_LOCAL_MACHINE, sessionManager)->denyWrite = false;
    registry().setString(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations", "odd");
    EXPECT_FALSE(win::MoveFileExA("C:\\a.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(
        registry().stringValue(HKEY_LOCAL_MACHINE, sessionManager, "PendingFileRenameOperations"),
        "odd");

    machine().version.platform = VER_PLATFORM_WIN32_WINDOWS;
    EXPECT_FALSE(win::MoveFileExA("C:\\b.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(win::GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
}

TEST_F(FileOperationsTest, ShortNamesAreNumberedPerFolderAndLeadBackToTheirFiles) {
    writeFile("C:\\Program Files\\Brevanta Quillane\\Setup Files\\qlncfg.reg", "x");
    writeFile("C:\\Program Files\\Brevanta Other\\readme.txt", "x");
    writeFile("C:\\Data\\my.config.file.txt", "x");
    writeFile("C:\\Data\\a+b.txt", "x");
    EXPECT_EQ(shortPath("C:\\Program Files\\Brevanta Quillane\\Setup Files\\qlncfg.reg"),
              "C:\\PROGRA~1\\BREVAN~2\\SETUPF~1\\qlncfg.reg");
    EXPECT_EQ(shortPath("C:\\program files\\Brevanta Other"), "C:\\PROGRA~1\\BREVAN~1");
    EXPECT_EQ(shortPath("C:\\Data\\my.config.file.txt"), "C:\\Data\\MYCONF~1.TXT");
    EXPECT_EQ(shortPath("C:\\Data\\a+b.txt"), "C:\\Data\\A_B~1.TXT");
    EXPECT_EQ(shortPath("C:\\Data\\"), "C:\\Data\\");
    machine().currentDirectory = "C:\\Program Files";
    EXPECT_EQ(shortPath("Brevanta Other\\readme.txt"), "BREVAN~1\\readme.txt");

    // Short paths name the same files.
    EXPECT_NE(win::GetFileAttributesA("C:\\PROGRA~1\\BREVAN~2\\SETUPF~1\\QLNCFG.REG"),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::GetFileAttributesA("C:\\PROGRA~1\\BREVAN~3"), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(shortPath("C:\\Program Files\\Missing\\x.txt"), "(failed)");
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(shortPath("C:\\Program Files\\missing.txt"), "(failed)");
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    char tiny[8];
    EXPECT_EQ(win::GetShortPathNameA("C:\\Program Files", tiny, sizeof tiny), 12u);

    machine().shortNames = emu::ShortNames::Off;
    EXPECT_EQ(shortPath("C:\\Program Files\\Brevanta Other"), "C:\\Program Files\\Brevanta Other");
    machine().shortNames = emu::ShortNames::LookupFails;
    EXPECT_EQ(shortPath("C:\\Program Files"), "(failed)");
}

TEST_F(FileOperationsTest, SystemTimeIsSetByTestsAndRunsWithTheClock) {
    emu::setSystemTime(0x01C4000080000000ull);
    FILETIME now{};
    win::GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(now.dwHighDateTime, 0x01C40000u);
    EXPECT_EQ(now.dwLowDateTime, 0x80000000u);
    win::Sleep(1500);
    win::GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(now.dwLowDateTime, 0x80000000u + 15000000u);
}

} // namespace
