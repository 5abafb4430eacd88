// The emulated machine's system time: set by tests, running on with the
// virtual clock (one millisecond of the clock is 10,000 FILETIME units).
#include "emulator/kernel/kernel_objects.h"
#include "emulator/system/system_state.h"
#include "platform/system_time.h"

namespace emu {

void setSystemTime(std::uint64_t fileTime) {
    System &s = system();
    s.systemTime = fileTime;
    s.systemTimeSetAt = kernel().clock.now();
}

std::uint64_t systemTimeNow() {
    const System &s = system();
    const std::uint64_t elapsed = kernel().clock.now() - s.systemTimeSetAt;
    if (s.systemTime >= kSystemTimeMaximum ||
        elapsed > (kSystemTimeMaximum - s.systemTime) / kFileTimeUnitsPerMillisecond) {
        return kSystemTimeMaximum;
    }
    return s.systemTime + elapsed * kFileTimeUnitsPerMillisecond;
}

} // namespace emu

namespace win {

void GetSystemTimeAsFileTime(LPFILETIME time) {
    const std::uint64_t now = emu::systemTimeNow();
    time->dwLowDateTime = static_cast<DWORD>(now & 0xFFFFFFFFu);
    time->dwHighDateTime = static_cast<DWORD>(now >> 32);
}

} // namespace win
