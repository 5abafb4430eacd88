// Copying, deleting and moving files, and their short (8.3) paths, in the
// Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::CopyFileA;
using ::DeleteFileA;
using ::GetShortPathNameA;
using ::MoveFileExA;
#else
BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists);
BOOL DeleteFileA(LPCSTR file);
// With MOVEFILE_DELAY_UNTIL_REBOOT and no new name, the file is deleted at
// the next start of the system; without it the file is renamed at once.
BOOL MoveFileExA(LPCSTR existingFile, LPCSTR newFile, DWORD flags);
DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size);
#endif
} // namespace win
