// Profile (INI) files of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::GetPrivateProfileIntA;
using ::GetPrivateProfileStringA;
using ::WritePrivateProfileStringA;
#else
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                               DWORD size, LPCSTR fileName);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR fileName);
#endif
} // namespace win
