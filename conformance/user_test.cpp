// Message boxes, answered by the user, and the cursor.
#include "case.h"
#include "platform/system.h"
#include "platform/user.h"
#include "standins.h"

namespace conformance {
namespace {

using User = Case;

TEST_F(User, AMessageBoxShowsItsTextAndGivesTheUsersAnswer) {
    standins::BoxAnswer user("RADOZAVU conformance");
    EXPECT_EQ(win::MessageBoxA(nullptr, "The folder is not valid.", "RADOZAVU conformance", MB_OK),
              IDOK);
    EXPECT_EQ(user.text(), "The folder is not valid.");
}

TEST_F(User, TheCursorIsSetAndTheOneBeforeItGivenBack) {
    const HCURSOR wait = win::LoadCursorA(nullptr, IDC_WAIT);
    const HCURSOR arrow = win::LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(wait, nullptr);
    ASSERT_NE(arrow, nullptr);
    EXPECT_NE(wait, arrow);
    EXPECT_EQ(win::LoadCursorA(nullptr, IDC_WAIT), wait) << "a system cursor is shared";

    const HCURSOR before = win::SetCursor(wait);
    EXPECT_EQ(win::SetCursor(arrow), wait);
    EXPECT_EQ(win::SetCursor(before), arrow);
}

} // namespace
} // namespace conformance
