// Environment strings of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::ExpandEnvironmentStringsA;
#else
DWORD ExpandEnvironmentStringsA(LPCSTR source, LPSTR destination, DWORD size);
#endif
} // namespace win
