// Finding a top-level window by its title and sending it a message, of the
// Win32 seam: how the library asks the product's agent to close.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::FindWindowA;
using ::SendMessageA;
#else
HWND FindWindowA(LPCSTR className, LPCSTR title);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
#endif
} // namespace win
