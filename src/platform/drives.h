// Drive types of the Win32 seam.
#pragma once

#include "platform/types.h"

namespace win {
#ifdef _WIN32
using ::GetDriveTypeA;
#else
UINT GetDriveTypeA(LPCSTR rootPath);
#endif
} // namespace win
