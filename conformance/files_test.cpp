// File searches, file attributes and drive types of the seam: what the
// setup-file lookups and the copy of every INI file of a folder rely on.
#include <algorithm>
#include <string>
#include <vector>

#include "case.h"
#include "code_page.h"
#include "platform/drives.h"
#include "platform/file_io.h"
#include "platform/file_operations.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/system.h"

namespace conformance {
namespace {

class Files : public Case {
protected:
    // The names a search finds, in the order found, and its error when it
    // finds nothing.
    struct Search {
        std::vector<std::string> names;
        DWORD error = 0;
    };
    static Search find(const std::string &pattern) {
        Search search;
        WIN32_FIND_DATAA found;
        std::fill_n(reinterpret_cast<char *>(&found), sizeof found, kJunk);
        win::SetLastError(0xdeadbeef);
        const HANDLE handle = win::FindFirstFileA(pattern.c_str(), &found);
        if (handle == INVALID_HANDLE_VALUE) {
            search.error = win::GetLastError();
            return search;
        }
        do {
            search.names.emplace_back(found.cFileName);
        } while (win::FindNextFileA(handle, &found));
        search.error = win::GetLastError();
        EXPECT_TRUE(win::FindClose(handle));
        return search;
    }
    static std::vector<std::string> sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Wildcards match without regard to case; the order of the names is the
// file system's own, which nothing relies on.
TEST_F(Files, SearchesFindWhatTheirPatternsMatch) {
    for (const char *name : {"a.ini", "B.INI", "c.txt", "Setup.log"}) {
        writeFile(path(name), "");
    }
    writeFile(path("Sub\\inner.ini"), "");
    const struct {
        const char *pattern;
        std::vector<std::string> names;
    } cases[] = {
        {"*.ini", {"B.INI", "a.ini"}},
        {"*.INI", {"B.INI", "a.ini"}},
        {"?.ini", {"B.INI", "a.ini"}},
        {"*a*.t?t", {}},
        {"*.t?t", {"c.txt"}},
        {"s*", {"Setup.log", "Sub"}},
        {"SETUP.LOG", {"Setup.log"}},
        {"Sub\\*", {".", "..", "inner.ini"}},
        {"Sub\\*.*", {".", "..", "inner.ini"}},
    };
    for (const auto &c : cases) {
        const Search search = find(path(c.pattern));
        EXPECT_EQ(sorted(search.names), c.names) << c.pattern;
        EXPECT_EQ(search.error,
                  c.names.empty() ? DWORD{ERROR_FILE_NOT_FOUND} : DWORD{ERROR_NO_MORE_FILES})
            << c.pattern;
    }
}

// A long name whose short (8.3) name matches is found too: "*.ini" finds
// "notes.ini_old" by its short name NOTES~1.INI.
TEST_F(Files, WildcardsAlsoMatchShortNames) {
    for (const char *name : {"b.ini", "notes.ini_old", "long name.ini_backup", "x.txt"}) {
        writeFile(path(name), "");
    }
    EXPECT_EQ(sorted(find(path("*.ini")).names),
              (std::vector<std::string>{"b.ini", "long name.ini_backup", "notes.ini_old"}));
    EXPECT_EQ(find(path("*.txt")).names, std::vector<std::string>{"x.txt"});
}

// A pattern of many stars that matches nothing is answered at once.
TEST_F(Files, PatternsOfManyStarsAreMatchedInLinearTime) {
    writeFile(path(std::string(60, 'a') + ".txt"), "");
    EXPECT_TRUE(find(path(std::string(40, '*') + "b")).names.empty());
    EXPECT_EQ(find(path("*a*a*a*.t?t")).names.size(), 1u);
    EXPECT_EQ(find(path("*A*.TXT*")).names.size(), 1u);
}

TEST_F(Files, ASearchTellsAMissingFolderFromNoMatch) {
    writeFile(path("Sub\\a.ini"), "");
    const struct {
        std::string pattern;
        DWORD error;
    } cases[] = {
        {path("*.reg"), ERROR_FILE_NOT_FOUND},
        {path("Sub\\"), ERROR_FILE_NOT_FOUND},
        {path("Missing\\*.ini"), ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto &c : cases) {
        const Search search = find(c.pattern);
        EXPECT_TRUE(search.names.empty()) << c.pattern;
        EXPECT_EQ(search.error, c.error) << c.pattern;
    }
}

TEST_F(Files, FoundDataCarryTheNameSizeAndKind) {
    writeFile(path("Data.bin"), std::string(1234, 'x'));
    writeFile(path("Folder\\x"), "");
    WIN32_FIND_DATAA found;
    std::fill_n(reinterpret_cast<char *>(&found), sizeof found, kJunk);
    const HANDLE file = win::FindFirstFileA(path("data.BIN").c_str(), &found);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(found.cFileName, "Data.bin");
    EXPECT_EQ(found.nFileSizeLow, 1234u);
    EXPECT_EQ(found.nFileSizeHigh, 0u);
    EXPECT_EQ(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(win::FindClose(file));

    const HANDLE folder = win::FindFirstFileA(path("FOLDER").c_str(), &found);
    ASSERT_NE(folder, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(found.cFileName, "Folder");
    EXPECT_NE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(win::FindClose(folder));
}

TEST_F(Files, AttributesTellFoldersFilesAndMissingOnes) {
    writeFile(path("Setup\\a.ini"), "");
    const struct {
        std::string path;
        DWORD directory; // the directory bit, or INVALID_FILE_ATTRIBUTES
        DWORD error;
    } cases[] = {
        {path("Setup"), FILE_ATTRIBUTE_DIRECTORY, 0xdeadbeef},
        {path("SETUP\\A.INI"), 0, 0xdeadbeef},
        {path("Setup\\none"), INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
        {path("None\\none"), INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
    };
    for (const auto &c : cases) {
        win::SetLastError(0xdeadbeef);
        const DWORD attributes = win::GetFileAttributesA(c.path.c_str());
        EXPECT_EQ(attributes == INVALID_FILE_ATTRIBUTES ? attributes
                                                        : attributes & FILE_ATTRIBUTE_DIRECTORY,
                  c.directory)
            << c.path;
        EXPECT_EQ(win::GetLastError(), c.error) << c.path;
    }
}

// A junction, which any user can make in a folder they can write: a folder
// shown as a reparse point, through which paths lead to the folder it names.
// The library looks for that mark on the way to a file it deletes or writes.
TEST_F(Files, AJunctionIsAReparsePointLeadingToItsFolder) {
    writeFile(path("Real\\a.ini"), "a");
    platform::makeJunction(path("Link"), path("Real"));
    const DWORD junction = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    EXPECT_EQ(win::GetFileAttributesA(path("Link").c_str()), junction);
    EXPECT_EQ(win::GetFileAttributesA(path("Real").c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(win::GetFileAttributesA(path("Link\\a.ini").c_str()), FILE_ATTRIBUTE_ARCHIVE);
    WIN32_FIND_DATAA found;
    const HANDLE search = win::FindFirstFileA(path("Li*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(found.dwFileAttributes, junction);
    EXPECT_TRUE(win::FindClose(search));
    EXPECT_TRUE(win::DeleteFileA(path("Link\\a.ini").c_str()));
    EXPECT_EQ(win::GetFileAttributesA(path("Real\\a.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The install folder's check asks for the type of "X:\" made of the path's
// first character, whatever that is.
TEST_F(Files, DriveTypesOfRoots) {
    const std::string scratchRoot = folder().substr(0, 3);
    const struct {
        std::string root;
        UINT type;
    } cases[] = {
        {scratchRoot, DRIVE_FIXED},  {"c:\\", DRIVE_FIXED},        {"Q:\\", DRIVE_NO_ROOT_DIR},
        {"1:\\", DRIVE_NO_ROOT_DIR}, {"\\:\\", DRIVE_NO_ROOT_DIR}, {"", DRIVE_NO_ROOT_DIR},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(win::GetDriveTypeA(c.root.c_str()), c.type) << c.root;
    }
}

// Names match without regard to the case of the code page's accented
// letters too (1252: "\xE9" is the small letter of "\xC9").
TEST_F(Files, NamesMatchAccentedLettersWithoutRegardToCase) {
    writeFile(path("caf\xE9.ini"), "");
    EXPECT_NE(win::GetFileAttributesA(path("CAF\xC9.INI").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(find(path("*\xC9.ini")).names, std::vector<std::string>{"caf\xE9.ini"});
}

class CodePage932Files : public Files {
protected:
    void SetUp() override {
        Files::SetUp();
        if (!platform::useCodePage(932)) {
            GTEST_SKIP() << "runs where the process has code page 932";
        }
    }
};

// A file named by one Japanese character, whose trail byte is 0x5C.
TEST_F(CodePage932Files, AQuestionMarkStandsForAWholeDoubleByteCharacter) {
    const HANDLE file = win::CreateFileA(path("\x95\x5C.dat").c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(win::CloseHandle(file));
    EXPECT_EQ(find(path("?.dat")).names, std::vector<std::string>{"\x95\x5C.dat"});
    EXPECT_TRUE(find(path("??.dat")).names.empty());
}

// Full-width letters match without regard to case, as their single-byte
// forms do: "\x82\x81" is the small letter of "\x82\x60".
TEST_F(CodePage932Files, FullWidthLettersMatchWithoutRegardToCase) {
    writeFile(path("\x82\x81.dat"), "");
    const bool folded = !knownWineDifference(
        "file names match full-width letters by case; NTFS folds them like other letters");
    EXPECT_EQ(win::GetFileAttributesA(path("\x82\x60.DAT").c_str()) != INVALID_FILE_ATTRIBUTES,
              folded);
    EXPECT_EQ(find(path("\x82\x60*")).names,
              folded ? std::vector<std::string>{"\x82\x81.dat"} : std::vector<std::string>{});
}

} // namespace
} // namespace conformance
