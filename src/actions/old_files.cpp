// Removal of a library file that earlier versions of the product installed
// into its BIN folder and that the product no longer uses.
#include <string>

#include "base/paths.h"
#include "frame/busy_cursor.h"
#include "platform/file_operations.h"
#include "radozavu.h"

extern "C" RADOZAVU_API(int) HKSetupCleanUpOldFiles(const SetupCallRecord *record) {
    const frame::BusyCursor busy;
    if (record == nullptr || record->ParamText == nullptr) {
        return 0;
    }
    const std::string oldLibrary = paths::joinOnce(record->ParamText, "BIN\\MFC42.DLL");
    if (paths::fits(oldLibrary) && !win::DeleteFileA(oldLibrary.c_str())) {
        // In use (or not there at all): the system deletes it at its next start.
        win::MoveFileExA(oldLibrary.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return 0;
}
