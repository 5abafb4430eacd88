// Ending Windows and the privileges it needs, of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::AdjustTokenPrivileges;
using ::ExitWindowsEx;
using ::GetCurrentProcess;
using ::InitiateSystemShutdownA;
using ::LookupPrivilegeValueA;
using ::OpenProcessToken;
#else
HANDLE GetCurrentProcess();
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid);
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                           DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                           PDWORD returnLength);
BOOL ExitWindowsEx(UINT flags, DWORD reason);
BOOL InitiateSystemShutdownA(LPSTR machineName, LPSTR message, DWORD timeout, BOOL forceAppsClosed,
                             BOOL rebootAfterShutdown);
#endif
} // namespace win
