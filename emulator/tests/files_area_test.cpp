// Drives, paths and file searches of the emulated machine.
#include <string>
#include <vector>

#include "base/handles.h"
#include "platform/files.h"
#include "support/machine_test.h"

namespace {

class EmulatedFiles : public MachineTest {
protected:
    std::vector<std::string> find(const std::string &pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found{};
        handles::UniqueFindHandle search(win::FindFirstFileA(pattern.c_str(), &found));
        if (search) {
            do {
                names.emplace_back(found.cFileName);
            } while (win::FindNextFileA(search.get(), &found));
        }
        return names;
    }
};

// Linux-only: host paths are the machine's own.
TEST_F(EmulatedFiles, PathsMatchExistingNamesWithoutCase) {
    writeFile("C:\\Setup\\QLNSETUP.INI", "x");
    EXPECT_EQ(hostPath("c:\\SETUP\\qlnsetup.ini"), hostPath("C:\\Setup\\QLNSETUP.INI"));
    EXPECT_EQ(hostPath("C:/Setup\\\\.\\Other\\..\\QLNSETUP.INI"),
              hostPath("C:\\Setup\\QLNSETUP.INI"));
    std::string unused;
    EXPECT_FALSE(emu::hostPath("Q:\\nowhere", unused));
    EXPECT_FALSE(emu::hostPath("\\\\server\\share\\file", unused));
}

// Linux-only: Windows promises no order of the names a search finds (Wine
// gives its host's), so the conformance suite compares them unordered; the
// machine lists them sorted without regard to case, as NTFS does.
TEST_F(EmulatedFiles, SearchesListNamesSortedWithoutCase) {
    writeFile("C:\\Setup\\a.ini", "");
    writeFile("C:\\Setup\\B.INI", "");
    writeFile("C:\\Setup\\c.txt", "");
    EXPECT_EQ(find("C:\\Setup\\*.ini"), (std::vector<std::string>{"a.ini", "B.INI"}));
    EXPECT_EQ(find("C:\\Setup\\*"),
              (std::vector<std::string>{".", "..", "a.ini", "B.INI", "c.txt"}));
}

// Linux-only: host paths are the machine's own.
TEST_F(EmulatedFiles, ADoubleByteTrailBackslashIsNoSeparator) {
    machine().system.codePage = 932;
    const std::string name = "C:\\\x95\x5C\\file.ini"; // a folder named by one Japanese character
    writeFile(name, "x");
    EXPECT_EQ(find("C:\\\x95\x5C\\*.ini"), (std::vector<std::string>{"file.ini"}));
    EXPECT_EQ(hostPath(name), root_ + "/\x95\\/file.ini");
}

} // namespace
