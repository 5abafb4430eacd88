// Profile (INI) files and environment strings of the seam: how values are
// found, trimmed, cut and parsed, how writes change a file, and how
// environment references expand.
#include <string>

#include "case.h"
#include "platform/file_operations.h"
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

TEST_F(Profile, WritesCreateAFileButNeverAFolder) {
    ASSERT_TRUE(win::WritePrivateProfileStringA("Main", "A", "1", file()));
    EXPECT_EQ(readFile(file()), "[Main]\r\nA=1\r\n");
    const std::string inMissingFolder = path("NoFolder\\x.ini");
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::WritePrivateProfileStringA("Main", "A", "1", inMissingFolder.c_str()));
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(readFile(inMissingFolder), std::nullopt);
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
