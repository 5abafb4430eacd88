// The running process: its heap, which holds the service lists, and the
// file of its program, which the setup program's path is read from.
#include <cctype>
#include <cstring>
#include <string>

#include "case.h"
#include "platform/heap.h"
#include "platform/module_file.h"
#include "platform/system.h"

namespace conformance {
namespace {

using Process = Case;

TEST_F(Process, HeapBlocksComeZeroedAndGoBack) {
    const HANDLE heap = win::GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(win::GetProcessHeap(), heap);
    for (const SIZE_T bytes : {SIZE_T{0}, SIZE_T{1}, SIZE_T{4096}, SIZE_T{1} << 20}) {
        auto *block = static_cast<unsigned char *>(win::HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes));
        ASSERT_NE(block, nullptr) << bytes;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(block), bytes), std::string(bytes, '\0'));
        std::memset(block, 0xA5, bytes);
        EXPECT_TRUE(win::HeapFree(heap, 0, block)) << bytes;
    }
    EXPECT_TRUE(win::HeapFree(heap, 0, nullptr));
}

// A path that does not fit is cut to the buffer and reported with
// ERROR_INSUFFICIENT_BUFFER; Windows XP leaves it unterminated, later
// versions end it in the buffer's last byte (the library terminates it
// itself).
TEST_F(Process, TheProgramFileIsAFullPath) {
    char full[MAX_PATH];
    std::memset(full, kJunk, sizeof full);
    const DWORD length = win::GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(length, 4u);
    ASSERT_LT(length, sizeof full);
    EXPECT_EQ(full[length], '\0');
    const std::string program(full, length);
    EXPECT_EQ(program.substr(1, 2), ":\\");
    std::string extension = program.substr(length - 4);
    for (char &c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(extension, ".exe");

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(win::GetVersionExA(&version));
    const bool terminatesCut =
        !knownWineDifference("a cut program path is left unterminated whatever the version") &&
        version.dwMajorVersion >= 6;
    for (const DWORD size : {DWORD{1}, length / 2, length}) {
        char cut[MAX_PATH];
        std::memset(cut, kJunk, sizeof cut);
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::GetModuleFileNameA(nullptr, cut, size), size);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER}) << size;
        EXPECT_EQ(std::string(cut, size - 1), program.substr(0, size - 1)) << size;
        EXPECT_EQ(cut[size - 1], terminatesCut ? '\0' : program[size - 1]) << size;
        EXPECT_EQ(cut[size], kJunk) << size;
    }
}

} // namespace
} // namespace conformance
