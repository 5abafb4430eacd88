// Top-level windows and their messages of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::EnumWindows;
using ::FindWindowA;
using ::FindWindowExA;
using ::GetWindowThreadProcessId;
using ::PostMessageA;
using ::SendMessageTimeoutA;
#else
HWND FindWindowA(LPCSTR className, LPCSTR title);
HWND FindWindowExA(HWND parent, HWND after, LPCSTR className, LPCSTR title);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeoutMs, PDWORD_PTR result);
BOOL EnumWindows(WNDENUMPROC callback, LPARAM parameter);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
#endif
} // namespace win
