// System facts of the Win32 seam: error state, version, code page.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::GetLastError;
using ::GetVersionExA;
using ::IsDBCSLeadByte;
using ::SetLastError;
#else
DWORD GetLastError();
void SetLastError(DWORD code);
BOOL GetVersionExA(LPOSVERSIONINFOA info);
BOOL IsDBCSLeadByte(BYTE c);
#endif
} // namespace win
