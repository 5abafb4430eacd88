// Drives, paths and file searches of the emulated machine.
#include <string>
#include <vector>

#include "platform/files.h"
#include "base/handles.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace {

class EmulatedFiles : public MachineTest {
protected:
    std::vector<std::string> find(const std::string &pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found{};
        handles::UniqueFindHandle search(win::FindFirstFileA(pattern.c_str(), &found));
        lastError = search ? 0 : win::GetLastError();
        if (search) {
            do {
                names.emplace_back(found.cFileName);
            } while (win::FindNextFileA(search.get(), &found));
        }
        return names;
    }
    DWORD lastError = 0;
};

TEST_F(EmulatedFiles, PathsMatchExistingNamesWithoutCase) {
    writeFile("C:\\Setup\\QLNSETUP.INI", "x");
    EXPECT_EQ(hostPath("c:\\SETUP\\qlnsetup.ini"), hostPath("C:\\Setup\\QLNSETUP.INI"));
    EXPECT_EQ(hostPath("C:/Setup\\\\.\\Other\\..\\QLNSETUP.INI"),
              hostPath("C:\\Setup\\QLNSETUP.INI"));
    std::string unused;
    EXPECT_FALSE(emu::hostPath("Q:\\nowhere", unused));
    EXPECT_FALSE(emu::hostPath("\\\\server\\share\\file", unused));
}

TEST_F(EmulatedFiles, SearchesFindFilesFoldersAndWildcardMatches) {
    writeFile("C:\\Setup\\a.ini", "");
    writeFile("C:\\Setup\\B.INI", "");
    writeFile("C:\\Setup\\c.txt", "");
    EXPECT_EQ(find("C:\\Setup\\*.ini"), (std::vector<std::string>{"a.ini", "B.INI"}));
    EXPECT_EQ(find("C:\\Setup\\*"),
              (std::vector<std::string>{".", "..", "a.ini", "B.INI", "c.txt"}));
    EXPECT_EQ(find("C:\\SETUP"), (std::vector<std::string>{"Setup"}));
    EXPECT_TRUE(find("C:\\Setup\\").empty());
    EXPECT_EQ(lastError, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(find("C:\\Setup\\*.reg").empty());
    EXPECT_EQ(lastError, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(find("C:\\Missing\\*.ini").empty());
    EXPECT_EQ(lastError, ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(find("").empty());
}

TEST_F(EmulatedFiles, AttributesTellFoldersFilesAndMissingOnes) {
    writeFile("C:\\Setup\\a.ini", "");
    EXPECT_EQ(win::GetFileAttributesA("C:\\Setup") & FILE_ATTRIBUTE_DIRECTORY,
              FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(win::GetFileAttributesA("C:\\Setup\\A.INI") & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(win::GetFileAttributesA("C:\\Setup\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win::GetFileAttributesA("C:\\None\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(EmulatedFiles, ADoubleByteTrailBackslashIsNoSeparator) {
    machine().codePage = 932;
    const std::string name = "C:\\\x95\x5C\\file.ini"; // a folder named by one Japanese character
    writeFile(name, "x");
    EXPECT_EQ(find("C:\\\x95\x5C\\*.ini"), (std::vector<std::string>{"file.ini"}));
    EXPECT_EQ(hostPath(name), root_ + "/\x95\\/file.ini");
}

// A pattern of many stars that matches nothing is answered at once: the
// matching goes back to the last star only, never tries every split.
TEST_F(EmulatedFiles, PatternsOfManyStarsAreMatchedInLinearTime) {
    writeFile("C:\\Files\\" + std::string(60, 'a') + ".txt", "");
    EXPECT_TRUE(find("C:\\Files\\" + std::string(40, '*') + "b").empty());
    EXPECT_EQ(find("C:\\Files\\*a*a*a*.t?t").size(), 1u);
    EXPECT_EQ(find("C:\\Files\\*A*.TXT*").size(), 1u);
}

TEST_F(EmulatedFiles, AQuestionMarkStandsForAWholeDoubleByteCharacter) {
    machine().codePage = 932;
    writeFile("C:\\Files\\\x95\x5C.dat", "");
    EXPECT_EQ(find("C:\\Files\\?.dat").size(), 1u);
    EXPECT_TRUE(find("C:\\Files\\??.dat").empty());
}

} // namespace
