// Copying, deleting and moving files, at once and at the next start of the
// system, and their short (8.3) paths: the initial settings' copies, the
// removal of the old library and the registry editor's argument rely on them.
#include <optional>
#include <string>
#include <vector>

#include "case.h"
#include "platform/file_io.h"
#include "platform/file_operations.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "read_only.h"

namespace conformance {
namespace {

using FileOperations = Case;

TEST_F(FileOperations, CopiesReplaceWholeFilesAndRefuseWhatTheyCannotDo) {
    writeFile(path("Setup\\QLNINIT.INI"), "[Settings]\r\nA=1\r\n");
    writeFile(path("Setup\\new.ini"), "new");
    writeFile(path("Locked.ini"), "locked");
    setReadOnly(path("Locked.ini"), true);
    const struct {
        std::string source, target;
        BOOL failIfExists;
        DWORD error; // ERROR_SUCCESS: copied
    } cases[] = {
        {path("setup\\qlninit.ini"), path("Target\\..\\QLNINIT.INI"), FALSE, ERROR_SUCCESS},
        {path("Setup\\new.ini"), path("QLNINIT.INI"), TRUE, ERROR_FILE_EXISTS},
        {path("Setup\\new.ini"), path("qlninit.ini"), FALSE, ERROR_SUCCESS},
        {path("Setup\\missing.ini"), path("x.ini"), FALSE, ERROR_FILE_NOT_FOUND},
        {path("Setup\\new.ini"), path("No Folder\\x.ini"), FALSE, ERROR_PATH_NOT_FOUND},
        {path("Setup"), path("x.ini"), FALSE, ERROR_ACCESS_DENIED},
        {path("Setup\\new.ini"), path("Locked.ini"), FALSE,
         writesToReadOnlyFilesAreRefused() ? DWORD{ERROR_ACCESS_DENIED} : ERROR_SUCCESS},
    };
    for (const auto &c : cases) {
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::CopyFileA(c.source.c_str(), c.target.c_str(), c.failIfExists),
                  c.error == ERROR_SUCCESS)
            << c.source << " " << c.target;
        if (c.error != ERROR_SUCCESS) {
            EXPECT_EQ(win::GetLastError(), c.error) << c.source << " " << c.target;
        }
    }
    EXPECT_EQ(readFile(path("QLNINIT.INI")), "new");
    EXPECT_EQ(readFile(path("Setup\\QLNINIT.INI")), "[Settings]\r\nA=1\r\n");
    EXPECT_EQ(readFile(path("Locked.ini")), writesToReadOnlyFilesAreRefused() ? "locked" : "new");
    EXPECT_FALSE(readFile(path("x.ini")));
    setReadOnly(path("Locked.ini"), false);
}

TEST_F(FileOperations, DeletionsRemoveFilesButNotFoldersOrReadOnlyFiles) {
    writeFile(path("BIN\\MFC42.DLL"), "x");
    writeFile(path("BIN\\READONLY.DLL"), "x");
    setReadOnly(path("BIN\\READONLY.DLL"), true);
    const struct {
        std::string path;
        DWORD error; // ERROR_SUCCESS: deleted
    } cases[] = {
        {path("bin\\mfc42.dll"), ERROR_SUCCESS},
        {path("BIN\\MFC42.DLL"), ERROR_FILE_NOT_FOUND},
        {path("Gone\\MFC42.DLL"), ERROR_PATH_NOT_FOUND},
        {path("BIN\\READONLY.DLL"), ERROR_ACCESS_DENIED},
        {path("BIN"), ERROR_ACCESS_DENIED},
    };
    for (const auto &c : cases) {
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::DeleteFileA(c.path.c_str()), c.error == ERROR_SUCCESS) << c.path;
        if (c.error != ERROR_SUCCESS) {
            EXPECT_EQ(win::GetLastError(), c.error) << c.path;
        }
    }
    EXPECT_FALSE(readFile(path("BIN\\MFC42.DLL")));
    EXPECT_TRUE(readFile(path("BIN\\READONLY.DLL")));
    setReadOnly(path("BIN\\READONLY.DLL"), false);
}

// A move done at once renames within a drive, over an existing file only
// when asked to.
TEST_F(FileOperations, MovesRenameAtOnce) {
    writeFile(path("copy.~1"), "whole copy");
    writeFile(path("target.dat"), "old");
    writeFile(path("other.dat"), "other");
    writeFile(path("Locked.dat"), "locked");
    setReadOnly(path("Locked.dat"), true);
    const struct {
        std::string source, target;
        DWORD flags;
        DWORD error; // ERROR_SUCCESS: moved
    } cases[] = {
        {path("copy.~1"), path("target.dat"), 0, ERROR_ALREADY_EXISTS},
        {path("copy.~1"), path("TARGET.DAT"), MOVEFILE_REPLACE_EXISTING, ERROR_SUCCESS},
        {path("copy.~1"), path("again.dat"), 0, ERROR_FILE_NOT_FOUND},
        {path("other.dat"), path("Missing\\x.dat"), 0, ERROR_PATH_NOT_FOUND},
        {path("other.dat"), path("Locked.dat"), MOVEFILE_REPLACE_EXISTING,
         writesToReadOnlyFilesAreRefused() ? DWORD{ERROR_ACCESS_DENIED} : ERROR_SUCCESS},
    };
    for (const auto &c : cases) {
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::MoveFileExA(c.source.c_str(), c.target.c_str(), c.flags),
                  c.error == ERROR_SUCCESS)
            << c.source << " " << c.target;
        if (c.error != ERROR_SUCCESS) {
            EXPECT_EQ(win::GetLastError(), c.error) << c.source << " " << c.target;
        }
    }
    EXPECT_EQ(readFile(path("target.dat")), "whole copy");
    EXPECT_FALSE(readFile(path("copy.~1")));
    EXPECT_FALSE(win::MoveFileExA(path("absent.dll").c_str(), nullptr, 0));
    setReadOnly(path("Locked.dat"), false);
}

BOOL copyFile(const std::string &source, const std::string &target) {
    return win::CopyFileA(source.c_str(), target.c_str(), FALSE);
}
BOOL deleteFile(const std::string &file, const std::string & /*unused*/) {
    return win::DeleteFileA(file.c_str());
}
BOOL moveFile(const std::string &source, const std::string &target) {
    return win::MoveFileExA(source.c_str(), target.c_str(), 0);
}

// A file another holds open without sharing is neither copied, replaced,
// deleted nor moved; one shared for reading may be copied; an open that
// takes no access (a look at the file) keeps nothing from happening.
TEST_F(FileOperations, FilesInUseRefuseWhatTheirShareModeRefuses) {
    for (const char *name :
         {"held.dll", "read.dll", "looked.dll", "new.dll", "written.dll", "shared.dll"}) {
        writeFile(path(name), name);
    }
    const auto hold = [](const char *name, DWORD access, DWORD share) {
        const HANDLE file =
            win::CreateFileA(path(name).c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << name;
        return file;
    };
    const HANDLE held = hold("held.dll", GENERIC_READ | GENERIC_WRITE, 0);
    const HANDLE read = hold("read.dll", GENERIC_READ, FILE_SHARE_READ);
    const HANDLE looked = hold("looked.dll", 0, 0);
    // Copies read their source sharing reading and writing, and write their
    // target sharing the same.
    const HANDLE written = hold("written.dll", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
    const HANDLE shared = hold("shared.dll", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE);
    const struct {
        BOOL (*operation)(const std::string &, const std::string &);
        std::string source, target;
        bool done;
    } cases[] = {
        {copyFile, path("held.dll"), path("a.dll"), false},
        {copyFile, path("new.dll"), path("HELD.DLL"), false},
        {deleteFile, path("held.dll"), "", false},
        {moveFile, path("held.dll"), path("b.dll"), false},
        {copyFile, path("read.dll"), path("c.dll"), true},
        {copyFile, path("new.dll"), path("read.dll"), false},
        {deleteFile, path("read.dll"), "", false},
        {copyFile, path("new.dll"), path("looked.dll"), true},
        {deleteFile, path("looked.dll"), "", true},
        {copyFile, path("written.dll"), path("d.dll"), true},
        {copyFile, path("new.dll"), path("written.dll"), false},
        {copyFile, path("new.dll"), path("shared.dll"), true},
    };
    for (const auto &c : cases) {
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(c.operation(c.source, c.target) != FALSE, c.done) << c.source << " " << c.target;
        if (!c.done) {
            EXPECT_EQ(win::GetLastError(), DWORD{ERROR_SHARING_VIOLATION})
                << c.source << " " << c.target;
        }
    }
    for (const HANDLE file : {held, read, looked, written, shared}) {
        EXPECT_TRUE(win::CloseHandle(file));
    }
    EXPECT_EQ(readFile(path("held.dll")), "held.dll");
    EXPECT_EQ(readFile(path("read.dll")), "read.dll");
    EXPECT_EQ(readFile(path("c.dll")), "read.dll");
    EXPECT_EQ(readFile(path("d.dll")), "written.dll");
    EXPECT_EQ(readFile(path("shared.dll")), "new.dll");
    EXPECT_FALSE(readFile(path("looked.dll")));
}

// Moves and deletions at the next start of the system are listed in the
// Session Manager's PendingFileRenameOperations (REG_MULTI_SZ): pairs of
// "\??\" and the full source path, then the target's ("!" in front when it
// may replace a file) or an empty text for a deletion. The list the machine
// had is put back after the case.
class DelayedMoves : public Case {
protected:
    static constexpr const char *kSessionManager =
        "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    static constexpr const char *kPending = "PendingFileRenameOperations";

    void SetUp() override {
        Case::SetUp();
        saved_ = pending();
    }
    void TearDown() override {
        HKEY key = nullptr;
        ASSERT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        if (saved_) {
            win::RegSetValueExA(key, kPending, 0, REG_MULTI_SZ,
                                reinterpret_cast<const BYTE *>(saved_->data()),
                                static_cast<DWORD>(saved_->size()));
        } else {
            win::RegDeleteValueA(key, kPending);
        }
        EXPECT_EQ(win::RegCloseKey(key), ERROR_SUCCESS);
        Case::TearDown();
    }
    // The list as stored, or nothing when there is none.
    static std::optional<std::string> pending() {
        HKEY key = nullptr;
        if (win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::vector<BYTE> data(std::size_t{64} * 1024);
        DWORD type = REG_NONE;
        auto size = static_cast<DWORD>(data.size());
        const LONG rc = win::RegQueryValueExA(key, kPending, nullptr, &type, data.data(), &size);
        EXPECT_EQ(win::RegCloseKey(key), ERROR_SUCCESS);
        if (rc != ERROR_SUCCESS) {
            return std::nullopt;
        }
        EXPECT_EQ(type, DWORD{REG_MULTI_SZ});
        return std::string(data.begin(), data.begin() + size);
    }
    // The texts of the entries added in this case.
    [[nodiscard]] std::vector<std::string> added() const {
        const std::string list = pending().value_or("");
        std::size_t start = saved_ ? saved_->size() - 1 : 0;
        EXPECT_TRUE(list.size() >= start && list.back() == '\0');
        std::vector<std::string> texts;
        while (start + 1 < list.size()) {
            const std::size_t end = list.find('\0', start);
            texts.push_back(list.substr(start, end - start));
            start = end + 1;
        }
        return texts;
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(DelayedMoves, AreListedForTheNextStartOfTheSystem) {
    writeFile(path("BIN\\MFC42.DLL"), "x");
    ASSERT_TRUE(
        win::MoveFileExA(path("BIN\\MFC42.DLL").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(added(), (std::vector<std::string>{"\\??\\" + path("BIN\\MFC42.DLL"), ""}));

    const std::string dotted = folder() + "\\.\\new\\..\\a.dll";
    ASSERT_TRUE(win::MoveFileExA(path("new\\a.dll").c_str(), dotted.c_str(),
                                 MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(added(),
              (std::vector<std::string>{"\\??\\" + path("BIN\\MFC42.DLL"), "",
                                        "\\??\\" + path("new\\a.dll"), "!\\??\\" + path("a.dll")}));

    // A move at the next start cannot fall back on a copy.
    win::SetLastError(0xdeadbeef);
    const BOOL copyAllowed = win::MoveFileExA(path("a.dll").c_str(), nullptr,
                                              MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED);
    if (knownWineDifference("a move at the next start may be allowed to copy")) {
        EXPECT_TRUE(copyAllowed);
    } else {
        EXPECT_FALSE(copyAllowed);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
        EXPECT_EQ(added().size(), 4u);
    }
}

class ShortPaths : public Case {
protected:
    static std::string shortPath(const std::string &path) {
        char buffer[MAX_PATH];
        std::fill_n(buffer, sizeof buffer, kJunk);
        win::SetLastError(0xdeadbeef);
        const DWORD length = win::GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
        if (length == 0 || length >= sizeof buffer) {
            return "(failed)";
        }
        EXPECT_EQ(buffer[length], '\0');
        return std::string(buffer, length);
    }
    // A valid 8.3 name made for a long one: capitals, a "~", at most eight
    // characters and a dot with at most three.
    static bool isGeneratedShortName(const std::string &name) {
        const auto dot = name.find('.');
        const std::string base = name.substr(0, dot);
        return name.find('~') != std::string::npos && base.size() <= 8 &&
               (dot == std::string::npos || name.size() - dot - 1 <= 3) &&
               name.find_first_of("abcdefghijklmnopqrstuvwxyz +") == std::string::npos;
    }
};

TEST_F(ShortPaths, NameTheSameFilesInEightThreeNames) {
    writeFile(path("Brevanta Other\\readme.txt"), "x");
    writeFile(path("Brevanta Quillane\\Setup Files\\qlncfg.reg"), "x");
    writeFile(path("Data\\my.config.file.txt"), "x");
    writeFile(path("Data\\a+b.txt"), "x");
    const std::string base = shortPath(folder());
    ASSERT_NE(base, "(failed)");
    const struct {
        const char *longName;
        const char *shortName; // as Windows numbers them; Wine's are hashed
    } cases[] = {
        {"Brevanta Other", "BREVAN~1"},
        {"brevanta quillane\\Setup Files\\qlncfg.reg", "BREVAN~2\\SETUPF~1\\qlncfg.reg"},
        {"Data\\my.config.file.txt", "Data\\MYCONF~1.TXT"},
        {"Data\\a+b.txt", "Data\\A_B~1.TXT"},
        {"Data\\", "Data\\"},
    };
    for (const auto &c : cases) {
        const std::string got = shortPath(path(c.longName));
        if (knownWineDifference("short names are hashed, not numbered")) {
            ASSERT_EQ(got.rfind(base + "\\", 0), 0u) << got;
            std::string rest = got.substr(base.size() + 1);
            const std::string expected = c.shortName;
            for (std::size_t from = 0, at = 0; from <= expected.size(); from = at + 1) {
                at = std::min(expected.find('\\', from), expected.size());
                const std::string want = expected.substr(from, at - from);
                const std::string name = rest.substr(0, rest.find('\\'));
                rest = rest.find('\\') == std::string::npos ? "" : rest.substr(name.size() + 1);
                EXPECT_TRUE(want.find('~') == std::string::npos ? name == want
                                                                : isGeneratedShortName(name))
                    << got;
            }
        } else {
            EXPECT_EQ(got, base + "\\" + c.shortName);
        }
        EXPECT_NE(win::GetFileAttributesA(got.c_str()), INVALID_FILE_ATTRIBUTES) << got;
    }
}

// A missing folder on the way is reported as a missing path or, by some
// versions of Windows, as a missing file.
TEST_F(ShortPaths, FailForMissingNamesAndTellTheRoomTheyNeed) {
    writeFile(path("Program Files\\x.txt"), "x");
    EXPECT_EQ(shortPath(path("Program Files\\missing.txt")), "(failed)");
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
    EXPECT_EQ(shortPath(path("Program Files\\Missing\\x.txt")), "(failed)");
    const DWORD error = win::GetLastError();
    EXPECT_TRUE(error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND) << error;
    const std::string full = shortPath(path("Program Files"));
    char tiny[8];
    std::fill_n(tiny, sizeof tiny, kJunk);
    EXPECT_EQ(win::GetShortPathNameA(path("Program Files").c_str(), tiny, sizeof tiny),
              full.size() + 1);
}

} // namespace
} // namespace conformance
