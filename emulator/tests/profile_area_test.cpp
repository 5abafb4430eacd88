// Profile files and environment strings of the emulated machine follow the
// Windows rules the library relies on.
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "platform/profile.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace {

class EmulatedProfile : public MachineTest {
protected:
    std::string get(const char *key, const char *fallback = "default", DWORD size = 1024) {
        std::string buffer(size, '#');
        const DWORD length =
            win::GetPrivateProfileStringA("Main", key, fallback, buffer.data(), size, kFile);
        lastLength = length;
        return buffer.substr(0, buffer.find('\0'));
    }
    static constexpr const char *kFile = "C:\\Data\\test.ini";
    DWORD lastLength = 0;
};

TEST_F(EmulatedProfile, ValuesAreTrimmedUnquotedAndMatchedWithoutCase) {
    writeFile(kFile, "junk before any section\r\n"
                     "[Other]\nKey=other\n"
                     "[ main ]\r\n"
                     "  Key  =  spaced value  \r\n"
                     "Quoted=\"  inner  \"\r\n"
                     "Single='x'\r\n"
                     "Half=\"open\r\n"
                     "Empty=\r\n"
                     "key=second occurrence\r\n");
    EXPECT_EQ(get("KEY"), "spaced value");
    EXPECT_EQ(get("quoted"), "  inner  ");
    EXPECT_EQ(get("Single"), "x");
    EXPECT_EQ(get("Half"), "\"open");
    EXPECT_EQ(get("Empty"), "");
    EXPECT_EQ(get("Missing", "fallback   "), "fallback");
    EXPECT_EQ(get("Missing", nullptr), "");
}

TEST_F(EmulatedProfile, LongValuesAreCutToTheBuffer) {
    writeFile(kFile, "[Main]\r\nKey=" + std::string(1100, 'v') + "\r\n");
    EXPECT_EQ(get("Key"), std::string(1023, 'v'));
    EXPECT_EQ(lastLength, 1023u);
    EXPECT_EQ(get("Key", "", 4), "vvv");
    EXPECT_EQ(lastLength, 3u);
}

TEST_F(EmulatedProfile, ABareFileNameLivesInTheWindowsFolder) {
    writeFile("C:\\WINDOWS\\bare.ini", "[Main]\r\nKey=windows\r\n");
    char buffer[32];
    win::GetPrivateProfileStringA("Main", "Key", "", buffer, sizeof buffer, "bare.ini");
    EXPECT_STREQ(buffer, "windows");
    EXPECT_EQ(win::GetPrivateProfileIntA("Main", "Key", 5, "C:\\absent\\file.ini"), 5u);
}

TEST_F(EmulatedProfile, IntegersParseLikeWindows) {
    writeFile(kFile, "[Main]\r\nA=12abc\r\nB=-1\r\nC=abc\r\nD=\r\n");
    EXPECT_EQ(win::GetPrivateProfileIntA("Main", "A", 7, kFile), 12u);
    EXPECT_EQ(win::GetPrivateProfileIntA("Main", "B", 7, kFile), 0xFFFFFFFFu);
    EXPECT_EQ(win::GetPrivateProfileIntA("Main", "C", 7, kFile), 0u);
    EXPECT_EQ(win::GetPrivateProfileIntA("Main", "D", 7, kFile), 7u);
    EXPECT_EQ(win::GetPrivateProfileIntA("Main", "E", 7, kFile), 7u);
}

TEST_F(EmulatedProfile, WritesReplaceInPlaceAppendToTheirSectionAndDelete) {
    writeFile(kFile, "; comment\r\n[Main]\r\nA=1\r\nB=2\r\n\r\n[Next]\r\nC=3\r\n");
    ASSERT_TRUE(win::WritePrivateProfileStringA("main", "a", "one", kFile));
    ASSERT_TRUE(win::WritePrivateProfileStringA("Main", "New", "added", kFile));
    ASSERT_TRUE(win::WritePrivateProfileStringA("Next", "C", nullptr, kFile));
    ASSERT_TRUE(win::WritePrivateProfileStringA("Third", "D", "4", kFile));
    EXPECT_EQ(readFile(kFile), "; comment\r\n[Main]\r\nA=one\r\nB=2\r\nNew=added\r\n\r\n"
                               "[Next]\r\n[Third]\r\nD=4\r\n");
    ASSERT_TRUE(win::WritePrivateProfileStringA("Main", nullptr, nullptr, kFile));
    EXPECT_EQ(readFile(kFile), "; comment\r\n[Next]\r\n[Third]\r\nD=4\r\n");
}

TEST_F(EmulatedProfile, WritesCreateAFileButNeverAFolderOrAReadOnlyChange) {
    makeFolder("C:\\Data");
    ASSERT_TRUE(win::WritePrivateProfileStringA("Main", "A", "1", kFile));
    EXPECT_EQ(readFile(kFile), "[Main]\r\nA=1\r\n");
    EXPECT_FALSE(win::WritePrivateProfileStringA("Main", "A", "1", "C:\\NoFolder\\x.ini"));
    EXPECT_FALSE(fileExists("C:\\NoFolder"));
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

TEST_F(EmulatedProfile, EnvironmentReferencesExpandOrStayAsWritten) {
    char buffer[64];
    EXPECT_EQ(win::ExpandEnvironmentStringsA("%windir%\\x", buffer, sizeof buffer), 13u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS\\x");
    win::ExpandEnvironmentStringsA("%UNDEFINED%-%%-50%", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "%UNDEFINED%-%%-50%");
    char small[4] = "abc";
    EXPECT_EQ(win::ExpandEnvironmentStringsA("%WINDIR%", small, sizeof small), 11u);
    EXPECT_STREQ(small, "abc");
}

// As on Windows, a line's text ends at a zero byte; the lines after it are
// read as usual, and the length a read gives is that of the text it gives.
TEST_F(EmulatedProfile, AZeroByteEndsTheTextOfItsLine) {
    writeFile(kFile, std::string("[Main]\r\nKey=ab\0cd\r\nNext=x\r\n", 26));
    EXPECT_EQ(get("Key"), "ab");
    EXPECT_EQ(lastLength, 2u);
    EXPECT_EQ(get("Next"), "x");
}

} // namespace
