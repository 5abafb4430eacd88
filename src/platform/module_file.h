// The file of a loaded module, or of the running program, in the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::GetModuleFileNameA;
#else
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
#endif
} // namespace win
