// Profile files of the emulated machine: how a write replaces a file. The
// rest of the profile functions' behaviour is proven on both platforms by the
// conformance suite (conformance/profile_test.cpp).
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "platform/profile.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace {

using EmulatedProfile = MachineTest;

// Linux only: the file is made read-only, and the folder listed, on the host
// that keeps the machine's drive.
TEST_F(EmulatedProfile, WritesNeverChangeAReadOnlyFileNorLeaveATemporaryFile) {
    constexpr const char *kFile = "C:\\Data\\test.ini";
    makeFolder("C:\\Data");
    ASSERT_TRUE(win::WritePrivateProfileStringA("Main", "A", "1", kFile));
    ::chmod(hostPath(kFile).c_str(), 0444);
    EXPECT_FALSE(win::WritePrivateProfileStringA("Main", "A", "2", kFile));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(readFile(kFile), "[Main]\r\nA=1\r\n");
    // Nothing is left beside the file by the replacement.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto &entry :
         std::filesystem::directory_iterator(hostPath("C:\\Data"))) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

} // namespace
