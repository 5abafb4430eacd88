// The running program's file on the emulated machine. GetModuleFileNameA
// cuts a path that does not fit: Windows XP and earlier leave it without a
// terminator, Vista and later end it in the buffer's last byte.
#include <cstring>

#include "emulator/processes/process_state.h"
#include "emulator/system/system_state.h"
#include "platform/module_file.h"
#include "platform/system.h"

namespace win {

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    // The machine answers for its program only.
    if (module != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::string &program = emu::processes().programFile;
    const auto length = static_cast<DWORD>(program.size());
    if (length < size) {
        std::memcpy(fileName, program.c_str(), length + 1);
        return length;
    }
    std::memcpy(fileName, program.c_str(), size);
    const emu::VersionInfo &version = emu::system().version;
    if (size != 0 && version.platform == VER_PLATFORM_WIN32_NT && version.major >= 6) {
        fileName[size - 1] = '\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

} // namespace win
