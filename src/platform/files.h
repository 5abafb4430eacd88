// File operations of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::FindClose;
using ::FindFirstFileA;
using ::FindNextFileA;
using ::GetFileAttributesA;
#else
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found);
BOOL FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA found);
BOOL FindClose(HANDLE search);
DWORD GetFileAttributesA(LPCSTR path);
#endif
} // namespace win
