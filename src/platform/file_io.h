// Reading and writing file contents through handles, of the Win32 seam.
// Handles are closed with CloseHandle (platform/kernel.h).
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::CreateFileA;
using ::GetFileInformationByHandle;
using ::SetFilePointer;
using ::WriteFile;
#else
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
// The volume serial number and file index identify the file on the
// machine, whatever name it was opened by.
BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
#endif
} // namespace win
