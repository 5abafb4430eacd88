// The system's clock time in the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::GetSystemTimeAsFileTime;
#else
void GetSystemTimeAsFileTime(LPFILETIME time);
#endif
} // namespace win
