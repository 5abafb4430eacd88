#include "apps/system_check.h"

#include "frame/messages.h"
#include "platform/mbtext.h"
#include "system/windows_version.h"

namespace apps {
namespace {
constexpr DWORD kOldestMajorVersion = 4;
constexpr const char *kOldestServicePack = "Service Pack 3";
} // namespace

bool SystemAllowsSetup(const SetupCallRecord &record, SetupKind kind) {
    OSVERSIONINFOA version;
    if (!system_info::QueryWindowsVersion(version) || version.dwMajorVersion < kOldestMajorVersion) {
        frame::InstallerMessageBox(record, frame::kMsgSystemNotSupported);
        return false;
    }
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
        if (version.dwMajorVersion == kOldestMajorVersion &&
            mbtext::compareNoCase(version.szCSDVersion, kOldestServicePack) < 0) {
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
