// Kernel handles and the virtual clock of the emulated machine.
#include "emulator/machine.h"
#include "platform/kernel.h"
#include "platform/system.h"

namespace win {

BOOL CloseHandle(HANDLE object) {
    if (!emu::machine().handles.close(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD GetTickCount() { return static_cast<DWORD>(emu::machine().clock.now()); }

// Sleep(0) only gives up the rest of the time slice, yet time still passes:
// a loop that polls with it moves the clock on by 1 ms a round.
void Sleep(DWORD milliseconds) {
    emu::machine().clock.advance(milliseconds == 0 ? 1 : milliseconds);
}

} // namespace win
