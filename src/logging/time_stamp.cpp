#include "logging/time_stamp.h"

#include <cstdio>
#include <ctime>

#include "platform/local_time.h"

namespace logging {
namespace {
// The C locale's names. The stamp is built here rather than with strftime,
// whose names follow whatever locale the installer's process has chosen.
constexpr const char *kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char *kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The fields of a local time from localtime() are always in their ranges.
std::string formatTimeStamp(const std::tm &local) {
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[128];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d %s %d", kDays[local.tm_wday],
                  kMonths[local.tm_mon], local.tm_mday, hour12, local.tm_min,
                  local.tm_hour < 12 ? "AM" : "PM", local.tm_year + 1900);
    return text;
}

} // namespace

std::string CurrentTimeStamp() {
    const std::time_t now = win::time(nullptr);
    const std::tm *local = now == static_cast<std::time_t>(-1) ? nullptr : win::localtime(&now);
    return local != nullptr ? formatTimeStamp(*local) : std::string();
}

} // namespace logging
