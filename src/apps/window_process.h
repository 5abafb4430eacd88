// Closing a program by one of its windows.
#pragma once

#include "platform/types.h"

namespace apps {

// Asks every top-level window of the process that owns window to close,
// waits up to limitMs for the process to end and ends it otherwise. Gives up
// silently when the window has no process or the process cannot be opened.
void CloseWindowProcess(HWND window, DWORD limitMs);

} // namespace apps
