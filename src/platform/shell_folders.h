// The shell's special folders of the Win32 seam: a folder's item identifier
// list, its file-system path, and the release of the list.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::CoTaskMemFree;
using ::SHGetPathFromIDListA;
using ::SHGetSpecialFolderLocation;
#else
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, PIDLIST_ABSOLUTE *items);
BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE items, LPSTR path);
void CoTaskMemFree(LPVOID memory);
#endif
} // namespace win
