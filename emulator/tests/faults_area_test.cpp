// Faults injected into the emulated machine: which call fails, with which
// error, and what a failing operation leaves behind.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/buffered_files.h"
#include "emulator/faults.h"
#include "platform/file_operations.h"
#include "base/handles.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace fs = std::filesystem;

namespace {

using emu::FaultArea;

class Faults : public MachineTest {
protected:
    static LONG openSoftware() {
        handles::UniqueKey key;
        return win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, key.put());
    }

    // The names of the files of a folder of drive C:.
    [[nodiscard]] std::vector<std::string> filesIn(const std::string &machineFolder) const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(hostPath(machineFolder))) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Faults, TheNthCallOfAnAreaFailsOnceWithTheErrorAsked) {
    registry().create(HKEY_LOCAL_MACHINE, "Software");
    // Calls are counted from the machine's start, the fault from its planning.
    const std::uint64_t registryCalls = machine().faults.calls(FaultArea::Registry);
    const std::uint64_t fileCalls = machine().faults.calls(FaultArea::Files);
    machine().faults.failCall(FaultArea::Registry, 2, ERROR_ACCESS_DENIED);
    EXPECT_EQ(openSoftware(), ERROR_SUCCESS);
    EXPECT_EQ(openSoftware(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(openSoftware(), ERROR_SUCCESS);
    EXPECT_EQ(machine().faults.calls(FaultArea::Registry), registryCalls + 3);
    EXPECT_EQ(machine().faults.calls(FaultArea::Files), fileCalls);
    ASSERT_EQ(machine().faults.struck().size(), 1u);
    EXPECT_EQ(machine().faults.struck()[0], "RegOpenKeyExA (registry call " +
                                                std::to_string(registryCalls + 2) +
                                                ") failed with 5");
}

TEST_F(Faults, ANamedOperationCountsOnlyItsOwnCallsAndMayFailForGood) {
    registry().create(HKEY_LOCAL_MACHINE, "Software");
    machine().faults.failEvery(FaultArea::Registry, ERROR_DISK_FULL, "RegSetValueExA");
    handles::UniqueKey key;
    ASSERT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS, key.put()),
              ERROR_SUCCESS);
    const BYTE data[] = "x";
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(win::RegSetValueExA(key.get(), "v", 0, REG_SZ, data, sizeof data),
                  ERROR_DISK_FULL);
    }
    EXPECT_EQ(registry().value(HKEY_LOCAL_MACHINE, "Software", "v"), nullptr);
    EXPECT_EQ(machine().faults.struck().size(), 3u);
}

// RegOpenKeyA is made of other opens (one with all rights, then a read-only
// one); it is one call all the same, so a fault cannot strike half of it.
TEST_F(Faults, AnOperationMadeOfOthersIsOneCall) {
    registry().create(HKEY_LOCAL_MACHINE, "Software\\Locked")->denyWrite = true;
    const std::uint64_t before = machine().faults.calls(FaultArea::Registry);
    machine().faults.failCall(FaultArea::Registry, 2, ERROR_ACCESS_DENIED);
    handles::UniqueKey key;
    EXPECT_EQ(win::RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Locked", key.put()), ERROR_SUCCESS);
    EXPECT_EQ(machine().faults.calls(FaultArea::Registry), before + 1);
    EXPECT_TRUE(machine().faults.struck().empty());
}

TEST_F(Faults, AFailedOpenHandsOutNoHandle) {
    registry().create(HKEY_LOCAL_MACHINE, "Software");
    machine().faults.failCall(FaultArea::Registry, 1, ERROR_ACCESS_DENIED);
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(win::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, nullptr, 0,
                                   KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(registry().keyExists(HKEY_LOCAL_MACHINE, "Software\\New"));

    machine().faults.failCall(FaultArea::Files, 1, ERROR_SHARING_VIOLATION, "fopen");
    errno = 0;
    EXPECT_EQ(win::fopen("C:\\WINDOWS\\regedit.exe", "rb"), nullptr);
    EXPECT_NE(errno, 0);
}

TEST_F(Faults, AProfileWriteThatFailsLeavesTheOldFileWhole) {
    const std::string ini = "C:\\Setup\\settings.ini";
    const std::string old = "[One]\r\nA=1\r\nB=2\r\n[Two]\r\nC=3\r\n";
    writeFile(ini, old);
    machine().faults.failCall(FaultArea::Files, 1, ERROR_DISK_FULL, "WritePrivateProfileStringA");
    EXPECT_FALSE(win::WritePrivateProfileStringA("One", "A", "changed", ini.c_str()));
    EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(readFile(ini), old);
    EXPECT_EQ(filesIn("C:\\Setup"), std::vector<std::string>{"settings.ini"});

    // A write that would change nothing fails as well.
    machine().faults.failCall(FaultArea::Files, 2, ERROR_ACCESS_DENIED,
                              "WritePrivateProfileStringA");
    EXPECT_TRUE(win::WritePrivateProfileStringA("One", "A", "changed", ini.c_str()));
    EXPECT_FALSE(win::WritePrivateProfileStringA("None", nullptr, nullptr, ini.c_str()));
}

TEST_F(Faults, AProfileReadThatFailsGivesTheDefault) {
    const std::string ini = "C:\\Setup\\settings.ini";
    writeFile(ini, "[One]\r\nA=stored\r\nN=7\r\n");
    machine().faults.failCall(FaultArea::Files, 1, ERROR_SHARING_VIOLATION);
    char text[32];
    EXPECT_EQ(win::GetPrivateProfileStringA("One", "A", "default", text, sizeof text, ini.c_str()),
              7u);
    EXPECT_STREQ(text, "default");
    EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(win::GetPrivateProfileIntA("One", "N", 3, ini.c_str()), 7u);
}

TEST_F(Faults, ACopyThatFailsLeavesTheTargetAsItWas) {
    writeFile("C:\\Setup\\new.ini", "new content");
    writeFile("C:\\App\\new.ini", "old content");
    machine().faults.failCall(FaultArea::Files, 1, ERROR_DISK_FULL, "CopyFileA");
    EXPECT_FALSE(win::CopyFileA("C:\\Setup\\new.ini", "C:\\App\\new.ini", FALSE));
    EXPECT_EQ(win::GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(readFile("C:\\App\\new.ini"), "old content");
    EXPECT_EQ(filesIn("C:\\App"), std::vector<std::string>{"new.ini"});
}

TEST_F(Faults, ACloseThatFailsStillClosesTheFile) {
    machine().faults.failCall(FaultArea::Files, 1, ERROR_DISK_FULL, "fclose");
    FILE *file = win::fopen("C:\\out.bin", "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(win::fclose(file), EOF);
    EXPECT_EQ(emu::openHandleCount(), 0u);
}

} // namespace
