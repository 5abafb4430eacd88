// Processes, waits and the entry points of libraries of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::GetProcAddress;
using ::OpenProcess;
using ::TerminateProcess;
using ::WaitForSingleObject;
#else
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
void *GetProcAddress(HMODULE module, LPCSTR name);
HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId);
BOOL TerminateProcess(HANDLE process, UINT exitCode);
#endif
} // namespace win
