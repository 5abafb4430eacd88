// The Windows types and constants the library uses: the real ones from
// <windows.h> on Windows, the emulated machine's own elsewhere.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#else
#include "platform/win_types.h"
#endif
