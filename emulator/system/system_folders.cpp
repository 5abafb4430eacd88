// The system folder and the Windows folder of the emulated machine. The
// system folder is System32 on the NT family and SYSTEM on the Windows 95
// family; a 32-bit program on a 64-bit machine is told System32 as well
// (its files there are those of SysWOW64).
#include <cstring>

#include "emulator/system/system_state.h"
#include "platform/system_folders.h"

namespace emu {
namespace {

// Windows' answer for a folder: its length when it fits the buffer with its
// terminator, else the size the buffer needs (the buffer left as it was).
UINT copyFolder(const std::string &folder, LPSTR buffer, UINT size) {
    const auto length = static_cast<UINT>(folder.size());
    if (buffer == nullptr || length >= size) {
        return length + 1;
    }
    std::memcpy(buffer, folder.c_str(), length + 1);
    return length;
}

} // namespace

std::string systemFolder() {
    return system().windowsFolder +
           (system().version.platform == VER_PLATFORM_WIN32_NT ? "\\system32" : "\\SYSTEM");
}

} // namespace emu

namespace win {

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return emu::copyFolder(emu::systemFolder(), buffer, size);
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return emu::copyFolder(emu::system().windowsFolder, buffer, size);
}

} // namespace win
