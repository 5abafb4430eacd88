// The shell's special folders: an item identifier list for a folder, its
// file-system path, and the list's release.
#include <cstring>

#include "case.h"
#include "platform/files.h"
#include "platform/shell_folders.h"
#include "platform/system.h"

namespace conformance {
namespace {

using ShellFolders = Case;

TEST_F(ShellFolders, TheDesktopsAreFoldersOfTheFileSystem) {
    for (const int folder : {CSIDL_DESKTOP, CSIDL_COMMON_DESKTOPDIRECTORY}) {
        SCOPED_TRACE(folder);
        PIDLIST_ABSOLUTE items = nullptr;
        ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, folder, &items), S_OK);
        ASSERT_NE(items, nullptr);
        char path[MAX_PATH + 1];
        std::memset(path, kJunk, sizeof path);
        EXPECT_TRUE(win::SHGetPathFromIDListA(items, path));
        const std::size_t length = strnlen(path, sizeof path);
        ASSERT_GT(length, 3u);
        ASSERT_LT(length, std::size_t{MAX_PATH});
        EXPECT_EQ(path[1], ':');
        EXPECT_NE(path[length - 1], '\\');
        const DWORD attributes = win::GetFileAttributesA(path);
        EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
        win::CoTaskMemFree(items);
    }
}

TEST_F(ShellFolders, AFolderOutsideTheFileSystemHasNoPath) {
    PIDLIST_ABSOLUTE items = nullptr;
    ASSERT_EQ(win::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &items), S_OK);
    char path[MAX_PATH];
    std::memset(path, kJunk, sizeof path);
    EXPECT_FALSE(win::SHGetPathFromIDListA(items, path));
    EXPECT_EQ(path[0], '\0');
    win::CoTaskMemFree(items);
}

TEST_F(ShellFolders, AnUnknownFolderHasNoItemList) {
    PIDLIST_ABSOLUTE items = reinterpret_cast<PIDLIST_ABSOLUTE>(&items);
    EXPECT_TRUE(FAILED(win::SHGetSpecialFolderLocation(nullptr, 0x7e, &items)));
    EXPECT_EQ(items, nullptr);
    win::CoTaskMemFree(nullptr); // releasing no list does nothing
}

} // namespace
} // namespace conformance
