// The check of the folder the user chose to install into: it must lie on a
// local drive (a fixed or removable one) and be more than a bare drive.
#include "frame/busy_cursor.h"
#include "frame/messages.h"
#include "platform/drives.h"
#include "radozavu.h"

namespace {

// The answers of the plain form; the record form turns the refusals into
// message boxes.
enum FolderVerdict : int {
    kFolderAccepted = 0,
    kNoFolderOrBareDrive = 1,
    kFolderNotLocal = 2,
};

FolderVerdict checkInstallFolder(const char *path) {
    if (path == nullptr) {
        return kNoFolderOrBareDrive;
    }
    // The root of the drive the path starts with; a network path (two
    // backslashes) gives a root that names no drive.
    char root[] = "?:\\";
    root[0] = path[0];
    const UINT type = win::GetDriveTypeA(root);
    if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED) {
        return kFolderNotLocal;
    }
    const bool hasThreeCharacters = path[0] != '\0' && path[1] != '\0' && path[2] != '\0';
    return hasThreeCharacters ? kFolderAccepted : kNoFolderOrBareDrive;
}

} // namespace

extern "C" RADOZAVU_API(int) HKSetupValidateLocalDirectory(const SetupCallRecord *record) {
    frame::BusyCursor busy;
    if (record == nullptr || record->ParamText == nullptr) {
        return 1;
    }
    const FolderVerdict verdict = checkInstallFolder(record->ParamText);
    if (verdict == kFolderAccepted) {
        return 0;
    }
    const UINT message =
        verdict == kNoFolderOrBareDrive ? frame::kMsgNoDriveRoot : frame::kMsgSelectLocalFolder;
    frame::InstallerMessageBox(*record, message);
    return 1;
}

extern "C" RADOZAVU_API(int) HKSetupValidateLocalDirectoryEX(const char *path) {
    frame::BusyCursor busy;
    return checkInstallFolder(path);
}
