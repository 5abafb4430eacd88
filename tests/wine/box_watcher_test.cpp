// The suite's box watcher itself: a box that comes too late, or not at all,
// must fail its case, and one that comes late must still be answered, so
// that the call showing it returns instead of hanging the suite.
#include <gtest/gtest.h>

#include "wine_support.h"

namespace {

constexpr const char *kTitle = "RADOZAVU watcher check";

TEST(WineBoxWatcher, LateBoxIsAnsweredButNotCountedAsSeen) {
    wine::BoxWatcher watcher(kTitle, 200);
    Sleep(400);
    EXPECT_EQ(MessageBoxA(nullptr, "late", kTitle, MB_OK), IDOK); // returns: it was answered
    const wine::SeenBox box = watcher.finish();
    EXPECT_FALSE(box.seen);
    EXPECT_TRUE(box.late);
    EXPECT_EQ(box.answered, 1);
}

TEST(WineBoxWatcher, MissingBoxEndsTheWaitAtTheTimeLimit) {
    wine::BoxWatcher watcher(kTitle, 300);
    const DWORD start = GetTickCount();
    const wine::SeenBox box = watcher.wait();
    EXPECT_GE(GetTickCount() - start, 300u);
    EXPECT_LT(GetTickCount() - start, wine::kPatienceMs);
    EXPECT_FALSE(box.seen);
    EXPECT_EQ(box.answered, 0);
}

TEST(WineBoxWatcher, BoxInTimeIsReadAndEveryFollowingOneAnswered) {
    wine::BoxWatcher watcher(kTitle);
    EXPECT_EQ(MessageBoxA(nullptr, "first\nline two", kTitle, MB_OK | MB_ICONEXCLAMATION), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "second", kTitle, MB_OK), IDOK);
    const wine::SeenBox box = watcher.finish();
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.text, "first\nline two");
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(box.answered, 2);
    EXPECT_FALSE(box.late);
}

} // namespace
