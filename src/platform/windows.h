// Top-level windows and their messages of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::EnumWindows;
using ::FindWindowA;
using ::GetWindowThreadProcessId;
using ::PostMessageA;
using ::SendMessageA;
#else
HWND FindWindowA(LPCSTR className, LPCSTR title);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL EnumWindows(WNDENUMPROC callback, LPARAM parameter);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
#endif
} // namespace win
