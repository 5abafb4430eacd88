// The emulated machine's local time: the system time (UTC, which runs on
// with the virtual clock) moved by the machine's time zone. time() and
// localtime() read it.
#pragma once

#include <cstdint>

namespace emu {

struct Calendar {
    // Local time minus UTC, in seconds (time zone and daylight saving).
    std::int64_t utcOffsetSeconds = 0;
};

// Sets the machine's system time so that its local time reads as given now
// (month 1 to 12). A date before 1970 is allowed: the C runtime then gives
// no local time, as on Windows.
void setLocalTime(int year, int month, int day, int hour, int minute, int second = 0);

} // namespace emu
