#include "log/time_stamp.h"

#include <cstdio>

#include "platform/local_time.h"

namespace logging {
namespace {
// The C locale's names. The stamp is built here rather than with strftime,
// whose names follow whatever locale the installer's process has chosen.
constexpr const char *kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char *kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
} // namespace

std::string FormatTimeStamp(const std::tm &local) {
    if (local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11 ||
        local.tm_hour < 0 || local.tm_hour > 23) {
        return {};
    }
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[128];
    const int length =
        std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d %s %d", kDays[local.tm_wday],
                      kMonths[local.tm_mon], local.tm_mday, hour12, local.tm_min,
                      local.tm_hour < 12 ? "AM" : "PM", local.tm_year + 1900);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof text) {
        return {};
    }
    return text;
}

std::string CurrentTimeStamp() {
    const std::time_t now = win::time(nullptr);
    const std::tm *local = now == static_cast<std::time_t>(-1) ? nullptr : win::localtime(&now);
    return local != nullptr ? FormatTimeStamp(*local) : std::string();
}

} // namespace logging
