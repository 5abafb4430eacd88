// The user-facing operations of the Win32 seam: message boxes and the cursor.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::LoadCursorA;
using ::MessageBoxA;
using ::SetCursor;
#else
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor);
#endif
} // namespace win
