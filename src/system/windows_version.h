// The Windows version as the library asks for it: GetVersionExA with the
// plain 148-byte version record.
#pragma once

#include "platform/types.h"

namespace system_info {

// Fills info; false when the system does not tell its version.
bool QueryWindowsVersion(OSVERSIONINFOA &info);

} // namespace system_info
