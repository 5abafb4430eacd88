// The emulated machine's system time: set by tests, running on with the
// virtual clock (one millisecond of the clock is 10,000 FILETIME units).
#include "emulator/machine.h"
#include "platform/system_time.h"

namespace emu {

void setSystemTime(std::uint64_t fileTime) {
    Machine &m = machine();
    m.systemTime = fileTime;
    m.systemTimeSetAt = m.clock.now();
}

std::uint64_t systemTimeNow(const Machine &m) {
    const std::uint64_t elapsed = m.clock.now() - m.systemTimeSetAt;
    if (m.systemTime >= kSystemTimeMaximum ||
        elapsed > (kSystemTimeMaximum - m.systemTime) / kFileTimeUnitsPerMillisecond) {
        return kSystemTimeMaximum;
    }
    return m.systemTime + elapsed * kFileTimeUnitsPerMillisecond;
}

} // namespace emu

namespace win {

void GetSystemTimeAsFileTime(LPFILETIME time) {
    const std::uint64_t now = emu::systemTimeNow(emu::machine());
    time->dwLowDateTime = static_cast<DWORD>(now & 0xFFFFFFFFu);
    time->dwHighDateTime = static_cast<DWORD>(now >> 32);
}

} // namespace win
