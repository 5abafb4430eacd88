// The system folder and the Windows folder of the Win32 seam: where the
// programs of Windows itself are looked for.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::GetSystemDirectoryA;
using ::GetWindowsDirectoryA;
#else
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
#endif
} // namespace win
