#include "apps/system_check.h"

#include "frame/messages.h"
#include "os/windows_version.h"

namespace apps {
namespace {
constexpr DWORD kOldestMajorVersion = 4;
constexpr const char *kOldestServicePack = "Service Pack 3";
} // namespace

bool SystemAllowsSetup(const SetupCallRecord &record, SetupKind kind) {
    const os::WindowsVersion version = os::WindowsVersion::Query();
    if (!version.known() || version.major() < kOldestMajorVersion) {
        frame::InstallerMessageBox(record, frame::kMsgSystemNotSupported);
        return false;
    }
    switch (version.platform()) {
    case VER_PLATFORM_WIN32_NT:
        if (version.major() == kOldestMajorVersion &&
            !version.servicePackAtLeast(kOldestServicePack)) {
            frame::InstallerMessageBox(record, frame::kMsgUpgradeServicePack);
        }
        return true;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (kind == SetupKind::Client) {
            return true;
        }
        break;
    default:
        break;
    }
    frame::InstallerMessageBox(record, frame::kMsgSystemNotSupported);
    return false;
}

} // namespace apps
