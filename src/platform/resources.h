// String resources and system message texts of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::FormatMessageA;
using ::LoadStringA;
using ::LocalFree;
#else
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, void *arguments);
HLOCAL LocalFree(HLOCAL memory);
#endif
} // namespace win
