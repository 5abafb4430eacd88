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

} // namespace emu

namespace win {

void GetSystemTimeAsFileTime(LPFILETIME time) {
    const emu::Machine &m = emu::machine();
    const std::uint64_t now = m.systemTime + (m.clock.now() - m.systemTimeSetAt) * 10000;
    time->dwLowDateTime = static_cast<DWORD>(now & 0xFFFFFFFFu);
    time->dwHighDateTime = static_cast<DWORD>(now >> 32);
}

} // namespace win
