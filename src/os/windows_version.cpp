#include "os/windows_version.h"

#include "base/mbtext.h"
#include "platform/system.h"

namespace os {

WindowsVersion WindowsVersion::Query() {
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the plain version record");
    WindowsVersion version;
    version.info_.dwOSVersionInfoSize = sizeof version.info_;
    version.known_ = win::GetVersionExA(&version.info_) != FALSE;
    return version;
}

bool WindowsVersion::servicePackAtLeast(const char *servicePack) const {
    return known_ && mbtext::compareNoCase(info_.szCSDVersion, servicePack) >= 0;
}

} // namespace os
