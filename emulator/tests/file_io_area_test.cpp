// The emulated machine's file contents: CreateFileA dispositions and share
// modes, SetFilePointer and WriteFile.
#include <string>

#include "platform/file_io.h"
#include "base/handles.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace {

using handles::UniqueFileHandle;

class FileIoArea : public MachineTest {
protected:
    static UniqueFileHandle open(const char *path, DWORD access, DWORD share, DWORD disposition) {
        return UniqueFileHandle(win::CreateFileA(path, access, share, nullptr, disposition,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    static bool write(const UniqueFileHandle &file, const std::string &text) {
        DWORD written = 0;
        return win::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                              nullptr) != FALSE &&
               written == text.size();
    }
};

TEST_F(FileIoArea, DispositionsCreateOpenOrRefuseAsWindowsDoes) {
    {
        auto created = open("C:\\data.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
        ASSERT_TRUE(created);
        EXPECT_EQ(win::GetLastError(), ERROR_SUCCESS);
        EXPECT_TRUE(write(created, "hello"));
    }
    EXPECT_TRUE(open("C:\\DATA.TXT", GENERIC_WRITE, 0, OPEN_ALWAYS));
    EXPECT_EQ(win::GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(readFile("C:\\data.txt"), "hello");

    EXPECT_FALSE(open("C:\\data.txt", GENERIC_WRITE, 0, CREATE_NEW));
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_FALSE(open("C:\\absent.txt", GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(open("C:\\NoFolder\\new.txt", GENERIC_WRITE, 0, OPEN_ALWAYS));
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(open("C:\\WINDOWS", GENERIC_WRITE, 0, OPEN_ALWAYS));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(open("Q:\\data.txt", GENERIC_WRITE, 0, OPEN_ALWAYS));
    EXPECT_EQ(win::GetLastError(), ERROR_PATH_NOT_FOUND);

    EXPECT_TRUE(open("C:\\data.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING));
    EXPECT_EQ(readFile("C:\\data.txt"), "");
}

TEST_F(FileIoArea, ShareModesHoldWhileTheFirstOpenLasts) {
    writeFile("C:\\shared.log", "");
    {
        auto exclusive = open("C:\\shared.log", GENERIC_WRITE, 0, OPEN_EXISTING);
        ASSERT_TRUE(exclusive);
        EXPECT_FALSE(open("C:\\SHARED.LOG", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          OPEN_EXISTING));
        EXPECT_EQ(win::GetLastError(), ERROR_SHARING_VIOLATION);
    }
    auto reader = open("C:\\shared.log", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_TRUE(reader);
    // Another reader that shares reading may join; a writer may not, and
    // neither may an open that refuses to share the reading already granted.
    EXPECT_TRUE(open("C:\\shared.log", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_FALSE(open("C:\\shared.log", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_FALSE(open("C:\\shared.log", GENERIC_READ, FILE_SHARE_WRITE, OPEN_EXISTING));
    EXPECT_EQ(win::GetLastError(), ERROR_SHARING_VIOLATION);
}

TEST_F(FileIoArea, WritesGoWhereTheFilePointerStands) {
    writeFile("C:\\log.txt", "0123456789");
    auto file = open("C:\\log.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_TRUE(file);
    EXPECT_TRUE(write(file, "ab"));
    EXPECT_EQ(win::SetFilePointer(file.get(), 0, nullptr, FILE_END), 10u);
    EXPECT_TRUE(write(file, "XY"));
    EXPECT_EQ(win::SetFilePointer(file.get(), -3, nullptr, FILE_CURRENT), 9u);
    EXPECT_TRUE(write(file, "z"));
    EXPECT_EQ(readFile("C:\\log.txt"), "ab2345678zXY");

    EXPECT_EQ(win::SetFilePointer(file.get(), -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(win::GetLastError(), ERROR_NEGATIVE_SEEK);

    auto reader = open("C:\\other.txt", GENERIC_READ, 0, OPEN_ALWAYS);
    DWORD written = 7;
    EXPECT_FALSE(win::WriteFile(reader.get(), "x", 1, &written, nullptr));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(written, 0u);
}

} // namespace
