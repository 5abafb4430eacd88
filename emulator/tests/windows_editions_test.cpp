// The version a machine of each edition reports: what GetVersionExA tells a
// program with and without a manifest for Windows 10, and the 5.2 of the
// x64 editions of XP. Linux-only: the manifest is a setting of the machine.
#include "emulator/installation/windows_editions.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace {

using WindowsEditions = MachineTest;

TEST_F(WindowsEditions, ProgramsAreToldTheVersionTheirManifestAllows) {
    const struct {
        const char *name;
        bool x64;
        bool manifested;
        DWORD major, minor, build;
    } cases[] = {
        {"xp", true, false, 5, 2, 3790},
        {"7", false, true, 6, 1, 7601}, // before 8.1 the manifest changes nothing
        {"8.1", false, false, 6, 2, 9200},
        {"8.1", false, true, 6, 3, 9600},
        {"11", true, false, 6, 2, 9200},
        {"11", true, true, 10, 0, 22631},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.manifested ? " manifested" : ""));
        emu::configureWindows(machine().files.drives['C'].hostFolder,
                              *emu::findWindowsEdition(c.name), c.x64);
        machine().system.version.programManifested = c.manifested;
        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof version;
        ASSERT_TRUE(win::GetVersionExA(&version));
        EXPECT_EQ(version.dwMajorVersion, c.major);
        EXPECT_EQ(version.dwMinorVersion, c.minor);
        EXPECT_EQ(version.dwBuildNumber, c.build);
    }
}

} // namespace
