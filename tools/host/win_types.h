// The Windows types and constants the host's shared code names: the
// system's own on Windows, the emulated machine's (same values) elsewhere.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/win_types.h"
#endif
