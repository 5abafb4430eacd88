// Drive types of the emulated machine: each mapped drive letter has the type
// the test gave it; any other root names no drive.
#include <cctype>
#include <string>

#include "emulator/files/file_system.h"
#include "platform/drives.h"

namespace win {

UINT GetDriveTypeA(LPCSTR rootPath) {
    // No root: the drive of the current folder.
    const std::string root =
        rootPath != nullptr ? rootPath : emu::files().currentDirectory.substr(0, 3);
    const bool isDriveRoot = (root.size() == 2 || (root.size() == 3 && root[2] == '\\')) &&
                             root[1] == ':' && std::isalpha(static_cast<unsigned char>(root[0]));
    if (!isDriveRoot) {
        return DRIVE_NO_ROOT_DIR;
    }
    const auto letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    const auto drive = emu::files().drives.find(letter);
    return drive != emu::files().drives.end() ? drive->second.type : DRIVE_NO_ROOT_DIR;
}

} // namespace win
