// Profile (INI) files and environment strings of the seam: how values are
// found, trimmed, cut and parsed, how writes change a file, and how
// environment references expand.
#include <string>

#include "case.h"
#include "platform/environment.h"
#include "platform/file_io.h"
#include "platform/file_operations.h"
#include "platform/kernel.h"
#include "platform/profile.h"
#include "platform/system.h"

namespace conformance {
namespace {

class Profile : public Case {
protected:
    void SetUp() override {
        Case::SetUp();
        file_ = path("test.ini");
    }
    // Reads a key of section "Main" into a buffer of the given size, filled
    // with junk first; the text up to the first zero, and the length given.
    std::string get(const char *key, const char *fallback = "default", DWORD size = 1024) {
        std::string buffer(size, kJunk);
        length_ = win::GetPrivateProfileStringA("Main", key, fallback, buffer.data(), size, file());
        return buffer.substr(0, buffer.find('\0'));
    }
    [[nodiscard]] const char *file() const { return file_.c_str(); }
    [[nodiscard]] DWORD length() const { return length_; }

private:
    std::string file_;
    DWORD length_ = 0;
};

TEST_F(Profile, ValuesAreTrimmedUnquotedAndMatchedWithoutCase) {
    writeFile(file(), "junk before any section\r\n"
                      "[Other]\nKey=other\n"
                      "[ main ]\r\n"
                      "  Key  =  spaced value  \r\n"
                      "Quoted=\"  inner  \"\r\n"
                      "Single='x'\r\n"
                      "Half=\"open\r\n"
                      "Empty=\r\n"
                      "key=second occurrence\r\n");
    const struct {
        const char *key;
        const char *fallback;
        const char *value;
    } reads[] = {
        {"KEY", "default", "spaced value"}, {"quoted", "default", "  inner  "},
        {"Single", "default", "x"},         {"Half", "default", "\"open"},
        {"Empty", "default", ""},           {"Missing", "fallback   ", "fallback"},
        {"Missing", nullptr, ""},
    };
    for (const auto &read : reads) {
        EXPECT_EQ(get(read.key, read.fallback), read.value) << read.key;
        EXPECT_EQ(length(), std::string(read.value).size()) << read.key;
    }
}

// Lines end at a line feed, a carriage return, or both; a line's text ends
// at a zero byte, and the lines after it are read as usual.
TEST_F(Profile, LinesEndAtEitherLineBreakAndTextAtAZeroByte) {
    const struct {
        std::string content;
        const char *key;
        const char *value;
    } files[] = {
        {"[Main]\nA=lf\nB=2\n", "A", "lf"},
        {"[Main]\rA=cr\rB=2\r", "A", "cr"},
        {"[Main]\rA=cr\rB=2", "B", "2"},
        {std::string("[Main]\r\nKey=ab\0cd\r\nNext=x\r\n", 26), "Key", "ab"},
        {std::string("[Main]\r\nKey=ab\0cd\r\nNext=x\r\n", 26), "Next", "x"},
    };
    for (const auto &file : files) {
        writeFile(this->file(), file.content);
        EXPECT_EQ(get(file.key), file.value) << file.key << " in " << file.content;
        EXPECT_EQ(length(), std::string(file.value).size()) << file.key;
    }
}

TEST_F(Profile, LongValuesAreCutToTheBuffer) {
    writeFile(file(), "[Main]\r\nKey=" + std::string(1100, 'v') + "\r\n");
    const struct {
        DWORD size;
        DWORD length;
    } reads[] = {{1024, 1023}, {4, 3}, {1, 0}};
    for (const auto &read : reads) {
        EXPECT_EQ(get("Key", "", read.size), std::string(read.length, 'v')) << read.size;
        EXPECT_EQ(length(), read.length) << read.size;
    }
    EXPECT_EQ(get("Missing", "fallback", 4), "fal");
    EXPECT_EQ(length(), 3u);
}

TEST_F(Profile, AFileNameWithoutAFolderLivesInTheWindowsFolder) {
    const std::string name = "radozavu-conformance-bare.ini";
    ASSERT_TRUE(win::WritePrivateProfileStringA("Main", "Key", "windows", name.c_str()));
    char inWindows[260];
    const DWORD length =
        win::ExpandEnvironmentStringsA(("%WINDIR%\\" + name).c_str(), inWindows, sizeof inWindows);
    ASSERT_GT(length, 0u);
    ASSERT_LE(length, sizeof inWindows);
    const std::optional<std::string> written = readFile(inWindows);
    EXPECT_TRUE(win::DeleteFileA(inWindows));
    EXPECT_EQ(written, "[Main]\r\nKey=windows\r\n");
    EXPECT_EQ(win::GetPrivateProfileIntA("Main", "Key", 5, path("absent\\file.ini").c_str()), 5u);
}

TEST_F(Profile, IntegersParseLikeWindows) {
    writeFile(file(), "[Main]\r\nA=12abc\r\nB=-1\r\nC=abc\r\nD=\r\nF= 42 \r\n");
    const struct {
        const char *key;
        UINT value;
    } reads[] = {{"A", 12}, {"B", 0xFFFFFFFFu}, {"C", 0}, {"D", 7}, {"E", 7}, {"F", 42}};
    for (const auto &read : reads) {
        EXPECT_EQ(win::GetPrivateProfileIntA("Main", read.key, 7, file()), read.value) << read.key;
    }
}

TEST_F(Profile, WritesReplaceInPlaceAppendToTheirSectionAndDelete) {
    writeFile(file(), "; comment\r\n[Main]\r\nA=1\r\nB=2\r\n\r\n[Next]\r\nC=3\r\n");
    ASSERT_TRUE(win::WritePrivateProfileStringA("main", "a", "one", file()));
    ASSERT_TRUE(win::WritePrivateProfileStringA("Main", "New", "added", file()));
    ASSERT_TRUE(win::WritePrivateProfileStringA("Next", "C", nullptr, file()));
    ASSERT_TRUE(win::WritePrivateProfileStringA("Third", "D", "4", file()));
    const char *blankLine =
        knownWineDifference("Wine writes a profile file anew from what it parsed, without its "
                            "blank lines; Windows changes only the lines written")
            ? ""
            : "\r\n";
    EXPECT_EQ(readFile(file()),
              std::string("; comment\r\n[Main]\r\nA=one\r\nB=2\r\nNew=added\r\n") + blankLine +
                  "[Next]\r\n[Third]\r\nD=4\r\n");
    ASSERT_TRUE(win::WritePrivateProfileStringA("Main", nullptr, nullptr, file()));
    EXPECT_EQ(readFile(file()), "; comment\r\n[Next]\r\n[Third]\r\nD=4\r\n");
}

// A write creates its file, but no folder; one without a section, or to no
// file at all, is refused and creates nothing.
TEST_F(Profile, WritesCreateAFileButNeverAFolder) {
    ASSERT_TRUE(win::WritePrivateProfileStringA("Main", "A", "1", file()));
    EXPECT_EQ(readFile(file()), "[Main]\r\nA=1\r\n");
    const std::string inMissingFolder = path("NoFolder\\x.ini");
    const std::string unwritten = path("unwritten.ini");
    const std::string existing = file();
    const struct {
        const char *section;
        const std::string &file;
        DWORD error;
    } refusals[] = {
        {"Main", inMissingFolder, ERROR_PATH_NOT_FOUND},
        {nullptr, unwritten, ERROR_FILE_NOT_FOUND},
        {nullptr, existing, ERROR_FILE_NOT_FOUND},
        {"Main", "", ERROR_ACCESS_DENIED},
    };
    for (const auto &refusal : refusals) {
        win::SetLastError(0xdeadbeef);
        EXPECT_FALSE(
            win::WritePrivateProfileStringA(refusal.section, "A", "2", refusal.file.c_str()))
            << refusal.file;
        EXPECT_EQ(win::GetLastError(), refusal.error) << refusal.file;
    }
    EXPECT_EQ(readFile(inMissingFolder), std::nullopt);
    EXPECT_EQ(readFile(unwritten), std::nullopt);
    EXPECT_EQ(readFile(file()), "[Main]\r\nA=1\r\n");
}

// A null section lists the section names, a null key the key names of the
// section (lines without "=" are no keys), each name ended by a zero and the
// list by a second one; the length leaves out the last zero. A list cut to the
// buffer ends its last name early, in two zeros, and gives the size less two.
TEST_F(Profile, ANullSectionOrKeyListsTheNames) {
    writeFile(file(), "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n"
                      "[section2]\r\n");
    const bool wineCutsLists =
        knownWineDifference("Wine ends a list cut to the buffer in one zero and leaves the "
                            "buffer's last byte as it was; Windows ends it in two zeros");
    const struct {
        const char *section;
        const char *key;
        DWORD size;
        DWORD length;
        std::string listed;
        std::string listedByWine; // where Wine differs
    } lists[] = {
        {nullptr, "name1", 260, 18, std::string("section1\0section2\0\0", 19), ""},
        {"SECTION1", nullptr, 260, 18, std::string("name1\0name2\0name4\0\0", 19), ""},
        {nullptr, "name1", 16, 14, std::string("section1\0secti\0\0", 16),
         std::string("section1\0secti\0", 15) + kJunk},
        {"section1", nullptr, 16, 14, std::string("name1\0name2\0na\0\0", 16),
         std::string("name1\0name2\0na\0", 15) + kJunk},
    };
    for (const auto &list : lists) {
        std::string buffer(list.size, kJunk);
        EXPECT_EQ(win::GetPrivateProfileStringA(list.section, list.key, "default", buffer.data(),
                                                list.size, file()),
                  list.length)
            << list.size;
        const std::string &listed =
            wineCutsLists && !list.listedByWine.empty() ? list.listedByWine : list.listed;
        EXPECT_EQ(buffer.substr(0, listed.size()), listed) << list.size;
    }
}

// The profile functions open the file themselves: reading asks for reading
// and writing for reading and writing, both sharing reading and writing. A
// handle that shares less keeps them out: a read gives the default, a write
// fails with ERROR_SHARING_VIOLATION and leaves the file as it was.
TEST_F(Profile, OpenHandlesKeepOutWhatTheirShareModeRefuses) {
    constexpr DWORD kRead = GENERIC_READ;
    constexpr DWORD kWrite = GENERIC_WRITE;
    constexpr DWORD kShareBoth = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const struct {
        DWORD access, share;
        bool readable, writable;
    } holders[] = {
        {kRead, FILE_SHARE_READ, true, false},
        {kRead, FILE_SHARE_WRITE, false, false},
        {kWrite, FILE_SHARE_READ, true, false},
        {kWrite, FILE_SHARE_WRITE, false, false},
        {kRead | kWrite, FILE_SHARE_READ, true, false},
        {kRead, kShareBoth, true, true},
        {kWrite, kShareBoth, true, true},
        {kRead | kWrite, kShareBoth, true, true},
    };
    for (const auto &holder : holders) {
        writeFile(file(), "[Main]\r\nKey=123\r\n");
        const HANDLE held = win::CreateFileA(file(), holder.access, holder.share, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(win::GetPrivateProfileIntA("Main", "Key", 7, file()), holder.readable ? 123u : 7u)
            << holder.access << "/" << holder.share;
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::WritePrivateProfileStringA("Main", "Key", "45", file()) != FALSE,
                  holder.writable)
            << holder.access << "/" << holder.share;
        if (!holder.writable) {
            EXPECT_EQ(win::GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
        }
        EXPECT_TRUE(win::CloseHandle(held));
        EXPECT_EQ(readFile(file()),
                  holder.writable ? "[Main]\r\nKey=45\r\n" : "[Main]\r\nKey=123\r\n")
            << holder.access << "/" << holder.share;
    }
}

TEST_F(Profile, EnvironmentReferencesExpandOrStayAsWritten) {
    char buffer[64];
    EXPECT_EQ(win::ExpandEnvironmentStringsA("%windir%\\x", buffer, sizeof buffer), 13u);
    EXPECT_STRCASEEQ(buffer, "C:\\WINDOWS\\x");
    const char *unexpanded = "%UNDEFINED%-%%-50%";
    EXPECT_EQ(win::ExpandEnvironmentStringsA(unexpanded, buffer, sizeof buffer),
              std::string(unexpanded).size() + 1);
    EXPECT_STREQ(buffer, unexpanded);
    // Too small a buffer: the size needed, terminator included, and as much
    // of the text as fits, terminated.
    char small[4] = {kJunk, kJunk, kJunk, kJunk};
    EXPECT_EQ(win::ExpandEnvironmentStringsA("%WINDIR%", small, sizeof small), 11u);
    EXPECT_EQ(std::string(small, sizeof small), std::string("C:\\", sizeof small));
}

} // namespace
} // namespace conformance
