// The system folder and the Windows folder, where the library looks for the
// programs of Windows itself.
#include <cstring>
#include <string>

#include "case.h"
#include "platform/files.h"
#include "platform/system_folders.h"

namespace conformance {
namespace {

using SystemFolders = Case;

// Each is a full path without a trailing backslash, the system folder inside
// the Windows folder; for a buffer too small the size it needs (terminator
// included) is given. The registry editor lies in one of
// them.
TEST_F(SystemFolders, AreFullPathsTheSystemFolderInsideTheWindowsFolder) {
    char windows[MAX_PATH];
    char system[MAX_PATH];
    std::memset(windows, kJunk, sizeof windows);
    std::memset(system, kJunk, sizeof system);
    const UINT windowsLength = win::GetWindowsDirectoryA(windows, sizeof windows);
    const UINT systemLength = win::GetSystemDirectoryA(system, sizeof system);
    ASSERT_GT(windowsLength, 3u);
    ASSERT_LT(systemLength, sizeof system);
    const std::string windowsFolder(windows, windowsLength);
    const std::string systemFolder(system, systemLength);
    EXPECT_EQ(windows[windowsLength], '\0');
    EXPECT_EQ(windowsFolder.substr(1, 2), ":\\");
    EXPECT_NE(windowsFolder.back(), '\\');
    EXPECT_EQ(systemFolder.substr(0, windowsLength + 1), windowsFolder + "\\");
    EXPECT_EQ(systemFolder.find('\\', windowsLength + 1), std::string::npos);

    const struct {
        decltype(&win::GetSystemDirectoryA) query;
        UINT length;
    } queries[] = {{&win::GetWindowsDirectoryA, windowsLength},
                   {&win::GetSystemDirectoryA, systemLength}};
    for (const auto &q : queries) {
        char cut[MAX_PATH];
        std::memset(cut, kJunk, sizeof cut);
        EXPECT_EQ(q.query(cut, q.length), q.length + 1);
        EXPECT_EQ(q.query(nullptr, 0), q.length + 1);
    }

    const auto isFile = [](const std::string &file) {
        const DWORD attributes = win::GetFileAttributesA(file.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    };
    EXPECT_TRUE(isFile(systemFolder + "\\regedit.exe") || isFile(windowsFolder + "\\regedit.exe"));
}

} // namespace
} // namespace conformance
