// Faults of file contents that tests can set on the emulated machine: a disk
// that refuses to move a file pointer or to take more data.
#pragma once

#include "platform/types.h"

namespace emu {

struct FileFaults {
    DWORD seekError = ERROR_SUCCESS;  // SetFilePointer fails with this code
    DWORD writeError = ERROR_SUCCESS; // WriteFile fails with this code (ERROR_DISK_FULL)
};

} // namespace emu
