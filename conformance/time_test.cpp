// The clocks of the seam: the tick count and Sleep, which bound the waits
// for programs and services, and the calendar time of the log's time stamps
// and the setup date.
#include <algorithm>
#include <cstdint>
#include <ctime>

#include "case.h"
#include "platform/kernel.h"
#include "platform/local_time.h"
#include "platform/system_time.h"

namespace conformance {
namespace {

using Clocks = Case;

// FILETIME units (100 ns since 1601) per second, and seconds from 1601 to 1970.
constexpr std::int64_t kUnitsPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

std::int64_t systemTimeInSeconds() {
    FILETIME now{};
    win::GetSystemTimeAsFileTime(&now);
    const auto units =
        static_cast<std::int64_t>((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
    return units / kUnitsPerSecond - kSecondsFrom1601To1970;
}

// A sleep lasts at least as long as asked, give or take the tick count's own
// step (about 16 ms on Windows). Wine's tick count is a copy its server
// refreshes, which a busy machine can leave a step or two behind, so the
// longest of a few measurements counts: a sleep cut short is short in all.
TEST_F(Clocks, TheTickCountRunsOnThroughASleep) {
    constexpr DWORD kTickStep = 16;
    constexpr int kMeasurements = 5;
    for (const DWORD sleep : {DWORD{20}, DWORD{100}}) {
        DWORD longest = 0;
        for (int i = 0; i < kMeasurements && longest + kTickStep < sleep; ++i) {
            const DWORD before = win::GetTickCount();
            win::Sleep(sleep);
            longest = std::max(longest, win::GetTickCount() - before);
        }
        EXPECT_GE(longest + kTickStep, sleep) << sleep;
    }
}

TEST_F(Clocks, CalendarTimeIsTheSystemTimeInSeconds) {
    const std::int64_t before = systemTimeInSeconds();
    std::time_t stored = 0;
    const std::time_t now = win::time(&stored);
    const std::int64_t after = systemTimeInSeconds();
    EXPECT_EQ(stored, now);
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
    EXPECT_GT(now, 946684800); // after 2000
    EXPECT_GE(win::time(nullptr), now);
}

// Every time zone is whole minutes from UTC: 2001-09-09 01:46:40 UTC is a
// 9 September or 8 September of 2001 with 40 seconds everywhere. A time
// before 1970 has no local time.
TEST_F(Clocks, LocalTimeBreaksACalendarTimeDown) {
    const std::time_t when = 1000000000;
    const std::tm *local = win::localtime(&when);
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->tm_year, 101);
    EXPECT_EQ(local->tm_mon, 8);
    EXPECT_TRUE(local->tm_mday == 8 || local->tm_mday == 9) << local->tm_mday;
    EXPECT_EQ(local->tm_sec, 40);
    const std::time_t dayLater = when + 86400;
    const int day = local->tm_mday;
    EXPECT_EQ(win::localtime(&dayLater)->tm_mday, day + 1);

    const std::time_t before1970 = -1;
    EXPECT_EQ(win::localtime(&before1970), nullptr);
}

} // namespace
} // namespace conformance
