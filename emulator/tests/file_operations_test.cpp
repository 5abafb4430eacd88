// File copies, deletions, deletions at the next start, short names and the
// system time of the emulated machine.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "platform/file_operations.h"
#include "platform/kernel.h"
#include "platform/system.h"
#include "platform/system_time.h"
#include "support/machine_test.h"

namespace {

class FileOperationsTest : public MachineTest {
protected:
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

// Linux-only: a file held by a running program (filesInUse) is part of the
// machine's control interface.
TEST_F(FileOperationsTest, FilesHeldByRunningProgramsAreNeitherReplacedNorDeleted) {
    writeFile("C:\\Setup\\QLNINIT.INI", "new");
    writeFile("C:\\Busy.ini", "old");
    writeFile("C:\\App\\BIN\\LOCKED.DLL", "x");
    machine().files.filesInUse.push_back("c:\\busy.ini");
    machine().files.filesInUse.push_back("C:\\App\\BIN\\LOCKED.DLL");
    EXPECT_FALSE(win::CopyFileA("C:\\Setup\\QLNINIT.INI", "C:\\Busy.ini", FALSE));
    EXPECT_EQ(win::GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(readFile("C:\\Busy.ini"), "old");
    EXPECT_FALSE(win::DeleteFileA("C:\\App\\BIN\\LOCKED.DLL"));
    EXPECT_EQ(win::GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(fileExists("C:\\App\\BIN\\LOCKED.DLL"));
}

// Linux-only: relative paths start at the machine's current folder.
TEST_F(FileOperationsTest, DelayedOperationsListRelativePathsInFull) {
    machine().files.currentDirectory = "C:\\App";
    ASSERT_TRUE(win::MoveFileExA("new\\a.dll", "c:\\app\\.\\a.dll",
                                 MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(pendingOperations(), list({"\\??\\C:\\App\\new\\a.dll", "!\\??\\C:\\app\\a.dll"}));
}

// Linux-only: registry rights and the Windows version are set through the
// machine.
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

    machine().system.version.platform = VER_PLATFORM_WIN32_WINDOWS;
    EXPECT_FALSE(win::MoveFileExA("C:\\b.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(win::GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
}

// Linux-only: the current folder and the drive's short names are set
// through the machine.
TEST_F(FileOperationsTest, ShortNamesOfRelativePathsAndOfDrivesWithoutThem) {
    writeFile("C:\\Program Files\\Brevanta Other\\readme.txt", "x");
    machine().files.currentDirectory = "C:\\Program Files";
    EXPECT_EQ(shortPath("Brevanta Other\\readme.txt"), "BREVAN~1\\readme.txt");

    machine().files.shortNames = emu::ShortNames::Off;
    EXPECT_EQ(shortPath("C:\\Program Files\\Brevanta Other"), "C:\\Program Files\\Brevanta Other");
    machine().files.shortNames = emu::ShortNames::LookupFails;
    EXPECT_EQ(shortPath("C:\\Program Files"), "(failed)");
}

// Linux-only: the system time is set through the machine. Both clocks stop
// at their maximum rather than wrap back.
TEST_F(FileOperationsTest, SystemTimeIsSetByTestsAndRunsWithTheClockToItsMaximum) {
    emu::setSystemTime(0x01C4000080000000ull);
    FILETIME now{};
    win::GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(now.dwHighDateTime, 0x01C40000u);
    EXPECT_EQ(now.dwLowDateTime, 0x80000000u);
    win::Sleep(1500);
    win::GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(now.dwLowDateTime, 0x80000000u + 15000000u);
    machine().kernel.clock.start(emu::kClockMaximum - 10);
    emu::setSystemTime(emu::kSystemTimeMaximum - 10);
    win::Sleep(1000);
    win::GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(machine().kernel.clock.now(), emu::kClockMaximum);
    EXPECT_EQ(now.dwHighDateTime, 0x7FFFFFFFu);
    EXPECT_EQ(now.dwLowDateTime, 0xFFFFFFFFu);
}

} // namespace
