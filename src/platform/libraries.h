// Loading libraries, and finding the system's own, in the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::GetModuleHandleA;
using ::LoadLibraryExA;
#else
HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags);
HMODULE GetModuleHandleA(LPCSTR moduleName);
#endif
} // namespace win
