// The product's write-monitor paths, set up by its sibling library
// ZepProj.dll after Rezedev.dll has been loaded from the install folder.
#include <string>

#include "apps/sibling_libraries.h"
#include "base/paths.h"
#include "radozavu.h"

namespace {

using PopulateWriteMonitorPaths = int(RADOZAVU_CALL *)();

// 1 without a folder; 0 when a library or the entry point cannot be
// loaded; otherwise what the entry point returns. The libraries stay loaded
// for the life of the installer's process. An empty folder is no folder:
// joined to a library's name it would name the root of the current drive.
int ConfigureWriteMonitorPaths(const char *installFolder) {
    if (installFolder == nullptr || *installFolder == '\0') {
        return 1;
    }
    const std::string services = paths::join(installFolder, apps::kServicesLibrary);
    const std::string writeMonitorPath = paths::join(installFolder, apps::kWriteMonitorLibrary);
    if (!paths::fits(services) || !paths::fits(writeMonitorPath) ||
        apps::LoadSiblingLibrary(services) == nullptr) {
        return 0;
    }
    const HMODULE writeMonitor = apps::LoadSiblingLibrary(writeMonitorPath);
    if (writeMonitor == nullptr) {
        return 0;
    }
    const auto entry = apps::SiblingEntryPoint<PopulateWriteMonitorPaths>(
        writeMonitor, "HKPopulateWriteMonitorPaths");
    return entry != nullptr ? entry() : 0;
}

} // namespace

extern "C" RADOZAVU_API(int) HKConfigureWriteMonitorPathsEX(const char *installFolder) {
    return ConfigureWriteMonitorPaths(installFolder);
}

extern "C" RADOZAVU_API(int) HKConfigureWriteMonitorPaths(const SetupCallRecord *record) {
    return ConfigureWriteMonitorPaths(record != nullptr ? record->ParamText : nullptr);
}
