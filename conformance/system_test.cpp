// The system facts of the seam: the last error, the version and the code
// page's lead bytes.
#include <cstring>

#include "case.h"
#include "code_page.h"
#include "platform/system.h"

namespace conformance {
namespace {

using SystemFacts = Case;

TEST_F(SystemFacts, TheLastErrorIsTheOneSetLast) {
    for (const DWORD code : {DWORD{0}, DWORD{ERROR_FILE_NOT_FOUND}, DWORD{0xdeadbeef}}) {
        win::SetLastError(code);
        EXPECT_EQ(win::GetLastError(), code);
    }
}

TEST_F(SystemFacts, CodePage1252HasNoLeadBytes) {
    for (int c = 0; c < 256; ++c) {
        EXPECT_FALSE(win::IsDBCSLeadByte(static_cast<BYTE>(c))) << c;
    }
}

// The version check and the version queries read the numbers and the
// service-pack text; a structure of another size is refused.
TEST_F(SystemFacts, TheVersionFillsAStructureOfAKnownSize) {
    constexpr DWORD kExtendedSize = 156; // OSVERSIONINFOEXA
    for (const DWORD size : {DWORD{sizeof(OSVERSIONINFOA)}, kExtendedSize}) {
        char buffer[kExtendedSize];
        std::memset(buffer, kJunk, sizeof buffer);
        auto *info = reinterpret_cast<OSVERSIONINFOA *>(buffer);
        info->dwOSVersionInfoSize = size;
        ASSERT_TRUE(win::GetVersionExA(info)) << size;
        EXPECT_EQ(info->dwPlatformId, DWORD{VER_PLATFORM_WIN32_NT});
        EXPECT_GE(info->dwMajorVersion, 5u);
        EXPECT_LT(info->dwMinorVersion, 10u);
        EXPECT_NE(std::memchr(info->szCSDVersion, '\0', sizeof info->szCSDVersion), nullptr);
    }
    for (const DWORD size : {DWORD{0}, DWORD{sizeof(OSVERSIONINFOA) - 1}, kExtendedSize + 1}) {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = size;
        win::SetLastError(0xdeadbeef);
        EXPECT_FALSE(win::GetVersionExA(&info)) << size;
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER}) << size;
    }
}

// Shift-JIS: lead bytes 0x81 to 0x9F and 0xE0 to 0xFC, so that a trail
// byte 0x5C ('\\') belongs to its character.
class CodePage932 : public Case {
protected:
    void SetUp() override {
        Case::SetUp();
        if (!platform::useCodePage(932)) {
            GTEST_SKIP() << "runs where the process has code page 932";
        }
    }
};

TEST_F(CodePage932, LeadBytesAreThoseOfShiftJis) {
    for (int c = 0; c < 256; ++c) {
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        EXPECT_EQ(win::IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE, lead) << c;
    }
}

} // namespace
} // namespace conformance
