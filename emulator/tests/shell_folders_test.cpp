// The shell's special folders and the program's file on the emulated
// machine (drive types are covered by the install folder check).
#include <cstring>

#include "platform/module_file.h"
#include "platform/shell_folders.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace {

using EmulatedShell = MachineTest;

// Linux-only: the folders are set up through the machine's control interface.
TEST_F(EmulatedShell, ItemListsAreOpenUntilFreedAndAbsentFoldersFail) {
    PIDLIST_ABSOLUTE items = nullptr;
    ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &items), S_OK);
    EXPECT_EQ(emu::openHandleCount(), 1u);
    char path[MAX_PATH] = "";
    EXPECT_TRUE(win::SHGetPathFromIDListA(items, path));
    EXPECT_STREQ(path, "C:\\Documents and Settings\\Administrator\\Desktop");
    win::CoTaskMemFree(items);
    EXPECT_EQ(emu::openHandleCount(), 0u);

    machine().system.specialFolders.erase(CSIDL_COMMON_DESKTOPDIRECTORY);
    EXPECT_TRUE(
        FAILED(win::SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, &items)));
    EXPECT_EQ(items, nullptr);

    machine().system.specialFolders[CSIDL_DESKTOP] = ""; // outside the file system
    ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &items), S_OK);
    EXPECT_FALSE(win::SHGetPathFromIDListA(items, path));
    EXPECT_STREQ(path, "");
    win::CoTaskMemFree(items);
}

using EmulatedProgram = MachineTest;

TEST_F(EmulatedProgram, APathThatDoesNotFitIsCutWithoutTerminator) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(win::GetModuleFileNameA(nullptr, buffer, sizeof buffer), 18u);
    EXPECT_STREQ(buffer, "C:\\Setup\\SETUP.EXE");

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(win::GetModuleFileNameA(nullptr, buffer, 8), 8u);
    EXPECT_EQ(std::string(buffer, 9), "C:\\Setup#");
    EXPECT_EQ(win::GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    EXPECT_EQ(win::GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1000), buffer, 32), 0u);
}

} // namespace
