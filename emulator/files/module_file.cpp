// The running program's file on the emulated machine. Like Windows XP,
// GetModuleFileNameA cuts a path that does not fit without terminating it.
#include <cstring>

#include "emulator/machine.h"
#include "platform/module_file.h"
#include "platform/system.h"

namespace win {

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    // The machine answers for its program only.
    if (module != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::string &program = emu::machine().programFile;
    const auto length = static_cast<DWORD>(program.size());
    if (length < size) {
        std::memcpy(fileName, program.c_str(), length + 1);
        return length;
    }
    std::memcpy(fileName, program.c_str(), size);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

} // namespace win
