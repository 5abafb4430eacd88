// The system facts of the seam: the last error and the code page's lead bytes.
#include "case.h"
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

} // namespace
} // namespace conformance
