// Buffered files of the C runtime and gzip files of zlib, opened and closed
// by path: the gzip copies read and write through them.
#include <cstdio>
#include <string>
#include <vector>

#include "case.h"
#include "platform/buffered_files.h"
#include "platform/file_io.h"
#include "platform/kernel.h"
#include "read_only.h"

namespace conformance {
namespace {

using BufferedFiles = Case;

TEST_F(BufferedFiles, OpenByPathWithoutRegardToCase) {
    writeFile(path("Setup\\Data.txt"), "content");
    FILE *file = win::fopen(path("SETUP\\data.TXT").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    char text[16] = "";
    EXPECT_EQ(std::fread(text, 1, sizeof text, file), 7u);
    EXPECT_EQ(win::fclose(file), 0);

    FILE *written = win::fopen(path("Setup\\new.txt").c_str(), "wb");
    ASSERT_NE(written, nullptr);
    EXPECT_GE(std::fputs("line", written), 0);
    EXPECT_EQ(win::fclose(written), 0);
    EXPECT_EQ(readFile(path("Setup\\new.txt")), "line");

    gzFile packed = win::gzopen(path("Setup\\new.gz").c_str(), "wb");
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(gzputs(packed, "packed"), 6);
    EXPECT_EQ(win::gzclose(packed), Z_OK);
    EXPECT_EQ(readFile(path("Setup\\new.gz")).value_or("").substr(0, 2), "\x1f\x8b");
    gzFile unpacked = win::gzopen(path("setup\\NEW.GZ").c_str(), "rb");
    ASSERT_NE(unpacked, nullptr);
    EXPECT_EQ(gzread(unpacked, text, sizeof text), 6);
    EXPECT_EQ(win::gzclose(unpacked), Z_OK);
}

TEST_F(BufferedFiles, RefuseWhatCannotBeOpened) {
    writeFile(path("Setup\\locked.txt"), "old");
    writeFile(path("Setup\\held.txt"), "held");
    setReadOnly(path("Setup\\locked.txt"), true);
    const HANDLE held = win::CreateFileA(path("Setup\\held.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    struct Open {
        std::string path;
        const char *mode;
    };
    std::vector<Open> cases = {
        {path("Setup"), "wb"},
        {path("Setup"), "rb"},
        {folder().substr(0, 3), "wb"},
        {"Q:\\file.txt", "wb"},
        {path("Missing\\file.txt"), "wb"},
        {path("Setup\\missing.txt"), "rb"},
        {path("Setup\\held.txt"), "rb"},
        {path("Setup\\held.txt"), "wb"},
    };
    if (writesToReadOnlyFilesAreRefused()) {
        for (const char *mode : {"wb", "ab", "r+b"}) {
            cases.push_back({path("Setup\\locked.txt"), mode});
        }
    }
    for (const auto &c : cases) {
        EXPECT_EQ(win::fopen(c.path.c_str(), c.mode), nullptr) << c.path << " " << c.mode;
        EXPECT_EQ(win::gzopen(c.path.c_str(), c.mode), nullptr) << c.path << " " << c.mode;
    }
    FILE *readable = win::fopen(path("Setup\\locked.txt").c_str(), "rb");
    EXPECT_NE(readable, nullptr);
    EXPECT_EQ(win::fclose(readable), 0);
    EXPECT_TRUE(win::CloseHandle(held));
    EXPECT_EQ(readFile(path("Setup\\held.txt")), "held");
    setReadOnly(path("Setup\\locked.txt"), false);
}

} // namespace
} // namespace conformance
