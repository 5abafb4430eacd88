// Removal of a library file that earlier versions of the product installed
// into its BIN folder and that the product no longer uses.
#include <string>

#include "base/links.h"
#include "base/paths.h"
#include "frame/busy_cursor.h"
#include "platform/file_operations.h"
#include "radozavu.h"

extern "C" RADOZAVU_API(int) HKSetupCleanUpOldFiles(const SetupCallRecord *record) {
    const frame::BusyCursor busy;
    if (record == nullptr || paths::isNoFolder(record->ParamText)) {
        return 0;
    }
    const std::string installFolder = paths::joinOnce(record->ParamText, "");
    const std::string oldLibrary = installFolder + "BIN\\MFC42.DLL";
    if (!paths::fits(oldLibrary)) {
        return 0;
    }
    // Only the file itself, reached through no link or junction below the
    // install folder: a user who can write that folder could otherwise have
    // any file deleted, now or at the next start.
    if (!paths::isExistingFile(oldLibrary) ||
        links::reachedThroughLink(installFolder, oldLibrary)) {
        return 0;
    }
    if (!win::DeleteFileA(oldLibrary.c_str())) {
        // In use: the system deletes it at its next start.
        win::MoveFileExA(oldLibrary.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return 0;
}
