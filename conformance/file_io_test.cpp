// Files opened by handle: the dispositions and share modes of CreateFileA,
// the identity of a file behind its names, writing at the file pointer and
// closing handles. The action log appends through them and the gzip copy
// tells whether two names are one file.
#include <string>

#include "case.h"
#include "platform/file_io.h"
#include "platform/file_operations.h"
#include "platform/kernel.h"
#include "platform/system.h"
#include "read_only.h"

namespace conformance {
namespace {

class FileIo : public Case {
protected:
    static HANDLE open(const std::string &path, DWORD access, DWORD share, DWORD disposition) {
        win::SetLastError(0xdeadbeef);
        return win::CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    static void close(HANDLE file) {
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(win::CloseHandle(file));
        }
    }
    static bool write(HANDLE file, const std::string &text) {
        DWORD written = 0;
        return win::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written,
                              nullptr) != FALSE &&
               written == text.size();
    }
};

TEST_F(FileIo, DispositionsCreateOpenOrRefuse) {
    const struct {
        bool exists;
        DWORD disposition;
        bool opens;
        DWORD error;
        const char *contentAfter; // nullptr: no file
    } cases[] = {
        {false, CREATE_NEW, true, ERROR_SUCCESS, ""},
        {true, CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
        {false, CREATE_ALWAYS, true, ERROR_SUCCESS, ""},
        {true, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
        {false, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {true, OPEN_EXISTING, true, ERROR_SUCCESS, "old"},
        {false, OPEN_ALWAYS, true, ERROR_SUCCESS, ""},
        {true, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
        {false, TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {true, TRUNCATE_EXISTING, true, ERROR_SUCCESS, ""},
    };
    for (const auto &c : cases) {
        const std::string file = path("data.txt");
        win::DeleteFileA(file.c_str());
        if (c.exists) {
            writeFile(file, "old");
        }
        const HANDLE handle = open(path("DATA.TXT"), GENERIC_WRITE, 0, c.disposition);
        const DWORD error = win::GetLastError();
        close(handle);
        EXPECT_EQ(handle != INVALID_HANDLE_VALUE, c.opens) << c.exists << c.disposition;
        EXPECT_EQ(error, c.error) << c.exists << c.disposition;
        EXPECT_EQ(readFile(file).has_value(), c.contentAfter != nullptr);
        EXPECT_EQ(readFile(file).value_or(""), c.contentAfter != nullptr ? c.contentAfter : "");
    }
}

TEST_F(FileIo, OpensThatNameNoFileFail) {
    writeFile(path("Folder\\file.txt"), "");
    writeFile(path("locked.txt"), "");
    setReadOnly(path("locked.txt"), true);
    const DWORD unmappedDriveError =
        knownWineDifference("a path on a drive that is not mapped names a missing file")
            ? ERROR_FILE_NOT_FOUND
            : ERROR_PATH_NOT_FOUND;
    const struct {
        std::string path;
        DWORD access;
        DWORD disposition;
        DWORD error;
    } cases[] = {
        {path("Missing\\new.txt"), GENERIC_WRITE, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
        {path("Folder"), GENERIC_WRITE, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {path("Folder"), 0, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {path("Folder\\file.txt\\"), GENERIC_WRITE, OPEN_ALWAYS, ERROR_INVALID_NAME},
        {"Q:\\data.txt", GENERIC_WRITE, OPEN_ALWAYS, unmappedDriveError},
    };
    for (const auto &c : cases) {
        const HANDLE handle = open(c.path, c.access, 0, c.disposition);
        EXPECT_EQ(handle, INVALID_HANDLE_VALUE) << c.path;
        EXPECT_EQ(win::GetLastError(), c.error) << c.path;
        close(handle);
    }
    // A read-only file opens for reading only.
    const HANDLE writer = open(path("locked.txt"), GENERIC_WRITE, 0, OPEN_EXISTING);
    if (writesToReadOnlyFilesAreRefused()) {
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    }
    close(writer);
    const HANDLE reader = open(path("locked.txt"), GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    close(reader);
    setReadOnly(path("locked.txt"), false);
}

// A second open is refused while the first lasts when either would take an
// access the other does not share. An open that asks for no access at all
// is never refused.
TEST_F(FileIo, ShareModesHoldWhileTheFirstOpenLasts) {
    constexpr DWORD kRead = GENERIC_READ;
    constexpr DWORD kWrite = GENERIC_WRITE;
    constexpr DWORD kShareRead = FILE_SHARE_READ;
    constexpr DWORD kShareBoth = FILE_SHARE_READ | FILE_SHARE_WRITE;
    constexpr DWORD kShareAll = kShareBoth | FILE_SHARE_DELETE;
    const struct {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    } cases[] = {
        {kWrite, 0, kRead, kShareBoth, false},
        {kWrite, 0, 0, kShareAll, true},
        {kRead, kShareRead, kRead, kShareRead, true},
        {kRead, kShareRead, kWrite, kShareRead, false},
        {kRead, kShareRead, kRead, FILE_SHARE_WRITE, false},
        {kRead, kShareBoth, kWrite, kShareBoth, true},
        {kWrite, kShareBoth, kRead | kWrite, kShareRead, false},
    };
    writeFile(path("shared.log"), "");
    for (const auto &c : cases) {
        const HANDLE first = open(path("shared.log"), c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        const HANDLE second =
            open(path("SHARED.LOG"), c.secondAccess, c.secondShare, OPEN_EXISTING);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens)
            << c.firstAccess << "/" << c.firstShare << " " << c.secondAccess << "/"
            << c.secondShare;
        if (!c.secondOpens) {
            EXPECT_EQ(win::GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
        }
        close(second);
        close(first);
    }
}

TEST_F(FileIo, WritesGoWhereTheFilePointerStands) {
    writeFile(path("log.txt"), "0123456789");
    const HANDLE file = open(path("log.txt"), GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(write(file, "ab"));
    EXPECT_EQ(win::SetFilePointer(file, 0, nullptr, FILE_END), 10u);
    EXPECT_TRUE(write(file, "XY"));
    EXPECT_EQ(win::SetFilePointer(file, -3, nullptr, FILE_CURRENT), 9u);
    EXPECT_TRUE(write(file, "z"));
    EXPECT_EQ(win::SetFilePointer(file, 2, nullptr, FILE_BEGIN), 2u);

    win::SetLastError(0xdeadbeef);
    EXPECT_EQ(win::SetFilePointer(file, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_NEGATIVE_SEEK});
    EXPECT_EQ(win::SetFilePointer(file, 0, nullptr, FILE_CURRENT), 2u);
    close(file);
    EXPECT_EQ(readFile(path("log.txt")), "ab2345678zXY");

    const HANDLE reader = open(path("log.txt"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    DWORD written = 7;
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::WriteFile(reader, "x", 1, &written, nullptr));
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_EQ(written, 0u);
    close(reader);
}

// The volume serial number and file index name the file, whatever name it
// was opened by; an open without access looks at a file another holds.
TEST_F(FileIo, InformationIdentifiesTheFileBehindEachName) {
    writeFile(path("Long File Name.dat"), "12345");
    writeFile(path("other.dat"), "");
    const HANDLE holder = open(path("Long File Name.dat"), GENERIC_WRITE, 0, OPEN_EXISTING);
    char shortName[MAX_PATH];
    const DWORD length =
        win::GetShortPathNameA(path("Long File Name.dat").c_str(), shortName, sizeof shortName);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, sizeof shortName);

    const auto identity = [](const std::string &name) {
        const HANDLE file =
            open(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << name;
        BY_HANDLE_FILE_INFORMATION information;
        std::fill_n(reinterpret_cast<char *>(&information), sizeof information, kJunk);
        EXPECT_TRUE(win::GetFileInformationByHandle(file, &information)) << name;
        close(file);
        EXPECT_EQ(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
        EXPECT_EQ(information.nFileSizeLow, name.find("other") == std::string::npos ? 5u : 0u);
        EXPECT_EQ(information.nNumberOfLinks, 1u);
        return std::to_string(information.dwVolumeSerialNumber) + ":" +
               std::to_string(information.nFileIndexHigh) + ":" +
               std::to_string(information.nFileIndexLow);
    };
    const std::string file = identity(path("Long File Name.dat"));
    EXPECT_EQ(identity(path("LONG FILE NAME.DAT")), file);
    EXPECT_EQ(identity(shortName), file);
    EXPECT_NE(identity(path("other.dat")), file);
    close(holder);
}

TEST_F(FileIo, AHandleClosesOnce) {
    const HANDLE file = open(path("once.txt"), GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(win::CloseHandle(file));
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::CloseHandle(file));
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

} // namespace
} // namespace conformance
