// Named semaphores of the Win32 seam (waits on them: processes.h).
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::CreateSemaphoreA;
using ::ReleaseSemaphore;
#else
HANDLE CreateSemaphoreA(LPSECURITY_ATTRIBUTES security, LONG initialCount, LONG maximumCount,
                        LPCSTR name);
BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount);
#endif
} // namespace win
