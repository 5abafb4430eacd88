// Buffered and gzip files of the emulated machine: opened by machine path
// with Windows' refusals, counted as open handles, and damaged on request.
#include <sys/stat.h>

#include <string>

#include "platform/buffered_files.h"
#include "support/machine_test.h"

namespace {

using BufferedFiles = MachineTest;

TEST_F(BufferedFiles, OpenByMachinePathAndHoldAHandleUntilClosed) {
    writeFile("C:\\Setup\\Data.txt", "content");
    FILE *file = win::fopen("c:\\SETUP\\data.TXT", "rb");
    ASSERT_NE(file, nullptr);
    gzFile packed = win::gzopen("C:\\Setup\\new.gz", "wb");
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(emu::openHandleCount(), 2u);
    char text[16] = "";
    EXPECT_EQ(std::fread(text, 1, sizeof text, file), 7u);
    EXPECT_EQ(win::fclose(file), 0);
    EXPECT_EQ(win::gzclose(packed), Z_OK);
    EXPECT_EQ(emu::openHandleCount(), 0u);
    EXPECT_TRUE(fileExists("C:\\Setup\\new.gz"));
}

TEST_F(BufferedFiles, RefuseWhatWindowsRefuses) {
    writeFile("C:\\Setup\\locked.txt", "old");
    ::chmod(hostPath("C:\\Setup\\locked.txt").c_str(), 0444);
    for (const char *mode : {"wb", "ab", "r+b"}) {
        EXPECT_EQ(win::fopen("C:\\Setup\\locked.txt", mode), nullptr) << mode;
    }
    EXPECT_EQ(win::gzopen("C:\\Setup\\locked.txt", "wb"), nullptr);
    FILE *readable = win::fopen("C:\\Setup\\locked.txt", "rb");
    EXPECT_NE(readable, nullptr);
    win::fclose(readable);

    for (const char *path : {"C:\\Setup", "C:\\", "Q:\\file.txt", "\\\\server\\share\\file.txt",
                             "C:\\Missing\\file.txt"}) {
        EXPECT_EQ(win::fopen(path, "wb"), nullptr) << path;
        EXPECT_EQ(win::gzopen(path, "rb"), nullptr) << path;
    }
    EXPECT_EQ(win::fopen(nullptr, "rb"), nullptr);
    EXPECT_EQ(win::gzopen(nullptr, "rb"), nullptr);
}

TEST_F(BufferedFiles, ADamagedFileReadsUpToTheDamageThenFails) {
    writeFile("C:\\Setup\\damaged.bin", std::string(5000, 'x'));
    machine().readFailsFrom["C:\\Setup\\damaged.bin"] = 1500;
    FILE *file = win::fopen("C:\\SETUP\\Damaged.bin", "rb");
    ASSERT_NE(file, nullptr);
    char buffer[1024];
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 1024u);
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 476u);
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 0u);
    EXPECT_NE(std::ferror(file), 0);
    EXPECT_EQ(win::fclose(file), 0);

    // Writing the file is not affected.
    FILE *writer = win::fopen("C:\\Setup\\damaged.bin", "ab");
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(win::fclose(writer), 0);
}

} // namespace
