// Calendar time of the emulated machine: time() is its system time in
// seconds since 1970, localtime() adds the machine's time zone.
#include <ctime>

#include "emulator/system/system_state.h"
#include "platform/local_time.h"
#include "platform/system_time.h"

namespace emu {
namespace {

// Days from 1 January 1970 to a date of the Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// FILETIME units (100 ns since 1601) per second, and seconds from 1601 to 1970.
constexpr std::int64_t kUnitsPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

} // namespace

void setLocalTime(int year, int month, int day, int hour, int minute, int second) {
    const std::int64_t local = daysFromCivil(year, month, day) * 86400 + std::int64_t{hour} * 3600 +
                               std::int64_t{minute} * 60 + second;
    const std::int64_t utc = local - system().calendar.utcOffsetSeconds;
    setSystemTime(static_cast<std::uint64_t>((utc + kSecondsFrom1601To1970) * kUnitsPerSecond));
}

} // namespace emu

namespace win {

std::time_t time(std::time_t *now) {
    FILETIME fileTime;
    GetSystemTimeAsFileTime(&fileTime);
    const auto units =
        (static_cast<std::int64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    const auto current =
        static_cast<std::time_t>(units / emu::kUnitsPerSecond - emu::kSecondsFrom1601To1970);
    if (now != nullptr) {
        *now = current;
    }
    return current;
}

std::tm *localtime(const std::time_t *when) {
    static std::tm result;
    if (when == nullptr || *when < 0) {
        return nullptr;
    }
    const auto local = static_cast<std::time_t>(*when + emu::system().calendar.utcOffsetSeconds);
    if (local < 0 || gmtime_r(&local, &result) == nullptr) {
        return nullptr;
    }
    result.tm_isdst = 0;
    return &result;
}

} // namespace win
