// Where things are: the default install folder, the common (all users)
// desktop, and the file of the setup program the library runs in.
#include <string>

#include "base/paths.h"
#include "frame/busy_cursor.h"
#include "frame/returned_text.h"
#include "platform/module_file.h"
#include "platform/profile.h"
#include "platform/shell_folders.h"
#include "registry/product_registry.h"
#include "radozavu.h"

namespace {

constexpr const char *kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders";

// The file-system path of one of the shell's special folders; empty when
// the shell has no such folder or it lies outside the file system.
std::string shellFolderPath(int folder) {
    PIDLIST_ABSOLUTE items = nullptr;
    if (FAILED(win::SHGetSpecialFolderLocation(nullptr, folder, &items))) {
        return {};
    }
    char path[paths::kPathBufferSize] = "";
    if (!win::SHGetPathFromIDListA(items, path)) {
        path[0] = '\0';
    }
    win::CoTaskMemFree(items);
    return path;
}

// "Common Desktop" of the Shell Folders key; empty when it cannot be read.
std::string registeredCommonDesktop() {
    char path[paths::kPathBufferSize];
    if (!registry::ReadRegistryString(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common Desktop", path,
                                      sizeof path)) {
        return {};
    }
    return path;
}

} // namespace

extern "C" RADOZAVU_API(const char *) HKSetupGetDefaultInstallLocation(void) {
    static frame::ReturnedText result;
    return result.set(registry::kDefaultInstallFolder);
}

extern "C" RADOZAVU_API(const char *) HKSetupGetCommonDesktopLocation(void) {
    static frame::ReturnedText result;
    std::string folder = shellFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY);
    if (folder.empty()) {
        folder = registeredCommonDesktop();
    }
    if (folder.empty()) {
        folder = shellFolderPath(CSIDL_DESKTOP); // the user's own desktop
    }
    return result.set(folder);
}

extern "C" RADOZAVU_API(int) HKSetupGetCommonDesktopFolderLocation(const SetupCallRecord *record) {
    frame::BusyCursor busy;
    if (record == nullptr || record->ParamText == nullptr) {
        return 1;
    }
    // The installer reads the answer back from the file; a failed write is
    // not reported.
    win::WritePrivateProfileStringA("SECTION", "Common Desktop", HKSetupGetCommonDesktopLocation(),
                                    record->ParamText);
    return 0;
}

extern "C" RADOZAVU_API(const char *) HKGetSetupExePath(void) {
    static frame::ReturnedText result;
    char path[paths::kPathBufferSize] = "";
    const DWORD length = win::GetModuleFileNameA(nullptr, path, sizeof path);
    // Windows XP leaves a path that does not fit unterminated.
    path[length < sizeof path ? length : sizeof path - 1] = '\0';
    return result.set(path);
}
