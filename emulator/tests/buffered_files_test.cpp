// Buffered and gzip files of the emulated machine: opened by machine path
// with Windows' refusals, counted as open handles, and damaged on request.
#include <string>

#include "platform/buffered_files.h"
#include "support/machine_test.h"

namespace {

using BufferedFiles = MachineTest;

// Linux-only: the open handle count is the machine's own.
TEST_F(BufferedFiles, HoldAHandleUntilClosed) {
    writeFile("C:\\Setup\\Data.txt", "content");
    FILE *file = win::fopen("c:\\SETUP\\data.TXT", "rb");
    ASSERT_NE(file, nullptr);
    gzFile packed = win::gzopen("C:\\Setup\\new.gz", "wb");
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(emu::openHandleCount(), 2u);
    EXPECT_EQ(win::fclose(file), 0);
    EXPECT_EQ(win::gzclose(packed), Z_OK);
    EXPECT_EQ(emu::openHandleCount(), 0u);
}

// Linux-only: a missing path and a network path are refused without the
// C runtime's parameter check or a network lookup of the real system.
TEST_F(BufferedFiles, RefuseNoPathAndNetworkPaths) {
    EXPECT_EQ(win::fopen("\\\\server\\share\\file.txt", "wb"), nullptr);
    EXPECT_EQ(win::gzopen("\\\\server\\share\\file.txt", "rb"), nullptr);
    EXPECT_EQ(win::fopen(nullptr, "rb"), nullptr);
    EXPECT_EQ(win::gzopen(nullptr, "rb"), nullptr);
}

// Linux-only: damage is planned through the machine.
TEST_F(BufferedFiles, ADamagedFileReadsUpToTheDamageThenFails) {
    writeFile("C:\\Setup\\damaged.bin", std::string(5000, 'x'));
    machine().files.readFailsFrom["C:\\Setup\\damaged.bin"] = 1500;
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
