// Buffered files of the C runtime and gzip files of zlib, opened and closed
// by path: the gzip copies read and write through them.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "case.h"
#include "platform/buffered_files.h"
#include "platform/file_io.h"
#include "platform/file_operations.h"
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

// A file handle made a descriptor: a stream on it writes the handle's file
// though its name was moved and another file put there; closing the stream,
// or the descriptor no stream took, closes the handle.
TEST_F(BufferedFiles, StreamsOnAHandleWriteTheFileItOpened) {
    const std::pair<bool (*)(int), std::string> cases[] = {
        {[](int fd) {
             FILE *f = win::_fdopen(fd, "wb");
             return f && std::fputs("\x1f\x8b", f) >= 0 && win::fclose(f) == 0;
         },
         "\x1f\x8b"},
        {[](int fd) {
             gzFile f = win::gzdopen(fd, "wb");
             return f && win::gzclose(f) == Z_OK;
         },
         "\x1f\x8b"},
        {[](int fd) { return win::_close(fd) == 0; }, ""},
    };
    for (const auto &[write, head] : cases) {
        const std::string name = path("made.bin");
        const std::string moved = name + ".moved";
        const HANDLE file = win::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                             nullptr, CREATE_NEW, 0, nullptr);
        const int fd = win::_open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_BINARY);
        ASSERT_NE(fd, -1);
        EXPECT_TRUE(win::MoveFileExA(name.c_str(), moved.c_str(), 0));
        writeFile(name, "planted");
        EXPECT_TRUE(write(fd));
        EXPECT_EQ(readFile(name), "planted");
        EXPECT_EQ(readFile(moved).value_or("?").substr(0, 2), head);
        const HANDLE reopened =
            win::CreateFileA(moved.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_TRUE(win::CloseHandle(reopened) && win::DeleteFileA(moved.c_str()) &&
                    win::DeleteFileA(name.c_str()));
    }
}

} // namespace
} // namespace conformance
