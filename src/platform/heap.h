// The process heap of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::GetProcessHeap;
using ::HeapAlloc;
using ::HeapFree;
#else
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
#endif
} // namespace win
