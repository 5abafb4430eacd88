// The logs' time stamp: the machine's local time in English, whatever the
// process locale.
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

#include "logging/time_stamp.h"
#include "emulator/system/calendar.h"
#include "platform/kernel.h"
#include "platform/local_time.h"
#include "support/machine_test.h"

namespace {

using logging::CurrentTimeStamp;

class TimeStamp : public MachineTest {};

TEST_F(TimeStamp, FollowsTheMachinesLocalTimeAndItsClock) {
    emu::setLocalTime(2006, 3, 7, 14, 5, 30);
    EXPECT_EQ(CurrentTimeStamp(), "Tue Mar 07 02:05 PM 2006");
    win::Sleep(30 * 1000); // the clock moves the calendar on
    EXPECT_EQ(CurrentTimeStamp(), "Tue Mar 07 02:06 PM 2006");
    emu::setLocalTime(1999, 12, 31, 23, 59);
    EXPECT_EQ(CurrentTimeStamp(), "Fri Dec 31 11:59 PM 1999");
    emu::setLocalTime(2000, 2, 29, 0, 0);
    EXPECT_EQ(CurrentTimeStamp(), "Tue Feb 29 12:00 AM 2000");

    // A time zone moves the local time, not the calendar time.
    const std::time_t before = win::time(nullptr);
    machine().system.calendar.utcOffsetSeconds = std::int64_t{2} * 3600;
    EXPECT_EQ(win::time(nullptr), before);
    EXPECT_EQ(CurrentTimeStamp(), "Tue Feb 29 02:00 AM 2000");
}

TEST_F(TimeStamp, IsEmptyWithoutALocalTime) {
    emu::setLocalTime(1969, 12, 31, 23, 0);
    EXPECT_EQ(CurrentTimeStamp(), "");
}

// The installer's process may have chosen any locale; the stamp stays in
// the C locale's English. A German locale is built for the test.
TEST_F(TimeStamp, StaysEnglishWhateverLocaleTheProcessHasChosen) {
    const std::string locales = root_ + "/locales";
    const std::string build =
        "localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8' >/dev/null 2>&1";
    // NOLINTNEXTLINE(cert-env33-c): the system's own tools build the locale.
    ASSERT_EQ(std::system(("mkdir -p '" + locales + "'").c_str()), 0);
    // NOLINTNEXTLINE(cert-env33-c)
    ASSERT_EQ(std::system(build.c_str()), 0) << "the German locale could not be built";
    ASSERT_EQ(setenv("LOCPATH", locales.c_str(), 1), 0);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);

    emu::setLocalTime(2006, 3, 7, 14, 5);
    std::tm tuesday{};
    tuesday.tm_wday = 2;
    tuesday.tm_mon = 2;
    char german[32];
    std::strftime(german, sizeof german, "%a %b", &tuesday);
    const std::string stamp = CurrentTimeStamp();

    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    EXPECT_EQ(std::string(german), "Di Mär") << "the process locale did not change";
    EXPECT_EQ(stamp, "Tue Mar 07 02:05 PM 2006");
}

} // namespace
