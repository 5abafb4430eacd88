// A module's string resources and the system's message texts, with the
// buffer the system allocates for them.
#include <cstring>
#include <string>

#include "case.h"
#include "platform/libraries.h"
#include "platform/processes.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "standins.h"

namespace conformance {
namespace {

constexpr DWORD kErrorMessageNotFound = 317; // ERROR_MR_MID_NOT_FOUND
constexpr DWORD kNoSuchMessage = 0x2000ffff;

using Resources = Case;

TEST_F(Resources, AStringIsReadWhileItFitsAndCutToTheRoomThereIs) {
    const HINSTANCE module = standins::stringModule();
    const struct {
        UINT id;
        int size;
        int length;         // returned
        const char *buffer; // afterwards
    } loads[] = {
        {standins::kFirstString, 64, 5, "Setup"},
        {standins::kSecondString, 64, 13, "Pick a folder"},
        {standins::kSecondString, 5, 4, "Pick"},
        {standins::kSecondString, 1, 0, ""},
        {standins::kFirstString + 1, 64, 0, ""}, // no such string
    };
    for (const auto &load : loads) {
        SCOPED_TRACE(testing::Message() << load.id << " " << load.size);
        char buffer[64];
        std::memset(buffer, kJunk, sizeof buffer);
        EXPECT_EQ(win::LoadStringA(module, load.id, buffer, load.size), load.length);
        EXPECT_STREQ(buffer, load.buffer);
    }
}

TEST_F(Resources, AModuleWithoutStringsHasNone) {
    const HMODULE library = win::LoadLibraryExA(standins::libraryFile().c_str(), nullptr, 0);
    ASSERT_NE(library, nullptr);
    char buffer[64];
    std::memset(buffer, kJunk, sizeof buffer);
    EXPECT_EQ(win::LoadStringA(library, standins::kFirstString, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(Resources, SystemTextsEndInALineBreakInABufferTheCallerFrees) {
    for (const DWORD code : {DWORD{ERROR_FILE_NOT_FOUND}, DWORD{ERROR_ACCESS_DENIED},
                             DWORD{ERROR_SERVICE_DOES_NOT_EXIST}}) {
        SCOPED_TRACE(code);
        char *text = nullptr;
        win::SetLastError(0xdeadbeef);
        const DWORD length = win::FormatMessageA(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
            MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(length, std::strlen(text));
        ASSERT_GT(length, 2u);
        EXPECT_STREQ(text + length - 2, "\r\n");

        // The same text in the caller's buffer, which must hold its terminator.
        std::string buffer(length + 1, kJunk);
        EXPECT_EQ(win::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer.data(),
                                      length + 1, nullptr),
                  length);
        EXPECT_STREQ(buffer.c_str(), text);
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer.data(),
                                      length, nullptr),
                  0u);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
        EXPECT_EQ(win::LocalFree(text), nullptr);
    }
    EXPECT_EQ(win::LocalFree(nullptr), nullptr);
}

TEST_F(Resources, AnUnknownMessageHasNoText) {
    char *text = nullptr;
    win::SetLastError(0xdeadbeef);
    EXPECT_EQ(win::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                  nullptr, kNoSuchMessage,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<LPSTR>(&text), 0, nullptr),
              0u);
    EXPECT_EQ(win::GetLastError(), kErrorMessageNotFound);
    EXPECT_EQ(text, nullptr);
}

} // namespace
} // namespace conformance
