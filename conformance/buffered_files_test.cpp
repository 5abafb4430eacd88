// Buffered files of the C runtime and gzip files of zlib, opened and closed
// by path: the gzip copies read and write through them.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
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

// A file handle made a descriptor of the C runtime: a stream opened on it
// writes the file the handle opened, though its name was since moved and
// another file put in its place, and closing the stream, or the descriptor
// no stream took, closes the handle (the file can be opened unshared again).
TEST_F(BufferedFiles, StreamsOnAHandleWriteTheFileItOpened) {
    struct OnHandle {
        const char *name;
        std::function<bool(int descriptor)> write; // opens, writes and closes a stream
        std::string head;                          // how the file written begins
    };
    const OnHandle cases[] = {
        {"plain.txt",
         [](int descriptor) {
             FILE *file = win::_fdopen(descriptor, "wb");
             return file != nullptr && std::fputs("line", file) >= 0 && win::fclose(file) == 0;
         },
         "line"},
        {"packed.gz",
         [](int descriptor) {
             gzFile file = win::gzdopen(descriptor, "wb");
             return file != nullptr && gzputs(file, "packed") == 6 && win::gzclose(file) == Z_OK;
         },
         "\x1f\x8b"},
        {"untaken.txt", [](int descriptor) { return win::_close(descriptor) == 0; }, ""},
    };
    for (const auto &c : cases) {
        const std::string name = path(c.name);
        const std::string moved = name + ".moved";
        const HANDLE file = win::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                             nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << c.name;
        const int descriptor =
            win::_open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_BINARY);
        ASSERT_NE(descriptor, -1) << c.name;
        EXPECT_TRUE(win::MoveFileExA(name.c_str(), moved.c_str(), 0)) << c.name;
        writeFile(name, "planted");
        EXPECT_TRUE(c.write(descriptor)) << c.name;
        EXPECT_EQ(readFile(name), "planted") << c.name;
        EXPECT_EQ(readFile(moved).value_or("").substr(0, c.head.size()), c.head) << c.name;
        const HANDLE reopened =
            win::CreateFileA(moved.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(reopened, INVALID_HANDLE_VALUE) << c.name;
        EXPECT_TRUE(win::CloseHandle(reopened)) << c.name;
    }
}

} // namespace
} // namespace conformance
