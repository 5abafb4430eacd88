// The emulated machine's calendar: the local date and time that time() and
// localtime() give. It moves on with the virtual clock, so Sleep shows in it.
#pragma once

#include <cstdint>

namespace emu {

struct Calendar {
    // UTC, in seconds since 1 January 1970, when the virtual clock read 0.
    // Initially the machine starts at Tue 7 Mar 2006 14:05:00.
    std::int64_t utcAtClockZero = 1141740200;
    // Local time minus UTC, in seconds (time zone and daylight saving).
    std::int64_t utcOffsetSeconds = 0;
};

// Sets the machine's local time as it reads now (month 1 to 12).
void setLocalTime(int year, int month, int day, int hour, int minute, int second = 0);

} // namespace emu
