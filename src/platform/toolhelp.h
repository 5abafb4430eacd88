// The list of running processes (tool help) of the Win32 seam. Windows NT 4.0
// has none of these functions: the library looks them up at run time
// (base/system_functions.h) and never calls them by these names, so that the
// DLL still loads there.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <tlhelp32.h>
#endif

namespace win {
#ifdef _WIN32
using ::CreateToolhelp32Snapshot;
using ::Process32First;
using ::Process32Next;
#else
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry);
BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry);
#endif
} // namespace win
