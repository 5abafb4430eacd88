// The registry edits of a reinstall or of a removal called off: the
// product's one-time clean-up entry, the package name of its Windows
// Installer source list, and the install path cut back to its parent.
#include <cstring>
#include <string>

#include "base/paths.h"
#include "frame/returned_text.h"
#include "base/handles.h"
#include "base/mbtext.h"
#include "platform/registry.h"
#include "radozavu.h"

namespace {

constexpr const char *kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char *kCleanUpEntry = "CleanQlClient";
constexpr const char *kMachineProductsKey = "SOFTWARE\\Classes\\Installer\\Products\\";
constexpr const char *kUserProductsKey = "Software\\Microsoft\\Installer\\Products\\";
constexpr const char *kSourceList = "\\SourceList";
constexpr const char *kPackageName = "PackageName";
constexpr const char *kInstallPathSuffix = "Brevanta\\Quillane\\";

} // namespace

extern "C" RADOZAVU_API(int) CancelUninstallEX() {
    return win::SHDeleteValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, kCleanUpEntry) == ERROR_SUCCESS ? 1
                                                                                                : 0;
}

extern "C" RADOZAVU_API(const char *) EditCustomizedInstallPathEX(const char *installPath) {
    static frame::ReturnedText result;
    const std::size_t length = installPath != nullptr ? std::strlen(installPath) : 0;
    const std::size_t suffixLength = std::strlen(kInstallPathSuffix);
    if (length <= suffixLength) {
        return result.set("");
    }
    // The last bytes are cut whatever they hold; a double-byte character
    // that the cut would split is cut off whole.
    return result.set(
        std::string(installPath, mbtext::prefixLength(installPath, length - suffixLength)));
}

extern "C" RADOZAVU_API(int) EditRegistryOnReinstallEX(const char * /*setupFolder*/) { return 0; }

extern "C" RADOZAVU_API(int) DeleteRegPackageNameEX(const char *installerKeyName) {
    if (installerKeyName == nullptr) {
        return 0;
    }
    const std::string machineSourceList =
        kMachineProductsKey + std::string(installerKeyName) + kSourceList;
    const std::string userSourceList =
        kUserProductsKey + std::string(installerKeyName) + kSourceList;
    // The per-machine list when there is one; the per-user list only without
    // it. A key path longer than a path buffer names no list.
    handles::UniqueKey sourceList;
    const auto open = [&sourceList](HKEY root, const std::string &path) {
        return paths::fits(path) &&
               win::RegOpenKeyA(root, path.c_str(), sourceList.put()) == ERROR_SUCCESS;
    };
    if (!open(HKEY_LOCAL_MACHINE, machineSourceList) && !open(HKEY_CURRENT_USER, userSourceList)) {
        return 0;
    }
    // A list without a package name is done as well; one whose package
    // name cannot be deleted is not.
    const LONG deleted = win::RegDeleteValueA(sourceList.get(), kPackageName);
    const bool closed = sourceList.reset();
    return closed && (deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND) ? 1 : 0;
}
