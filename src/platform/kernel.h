// Kernel objects and time of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::CloseHandle;
using ::GetTickCount;
using ::Sleep;
#else
BOOL CloseHandle(HANDLE object);
DWORD GetTickCount();
void Sleep(DWORD milliseconds);
#endif
} // namespace win
