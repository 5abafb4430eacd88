// Kernel handles and the virtual clock of the emulated machine.
#include "platform/emulated/machine.h"
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

void Sleep(DWORD milliseconds) { emu::machine().clock.advance(milliseconds); }

} // namespace win
