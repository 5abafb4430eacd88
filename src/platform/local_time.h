// Calendar time of the Win32 seam: the C runtime's time and localtime. On
// the emulated machine the calendar is the machine's own, which tests set.
#pragma once

#include <ctime>

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::localtime;
using ::time;
#else
std::time_t time(std::time_t *now);
// The local time of a calendar time, in storage that the next call reuses;
// nullptr for a time before 1970, as the Windows runtime gives.
std::tm *localtime(const std::time_t *when);
#endif
} // namespace win
