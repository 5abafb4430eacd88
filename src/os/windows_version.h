// The Windows version as the library asks for it (GetVersionExA with the
// plain 148-byte version record), and the questions the exports ask of it.
#pragma once

#include "platform/types.h"

namespace os {

class WindowsVersion {
public:
    // Asks the system; known() is false when it does not tell its version,
    // and then every question below answers false.
    static WindowsVersion Query();

    [[nodiscard]] bool known() const { return known_; }
    [[nodiscard]] DWORD platform() const { return info_.dwPlatformId; }
    [[nodiscard]] DWORD major() const { return info_.dwMajorVersion; }
    [[nodiscard]] DWORD minor() const { return info_.dwMinorVersion; }

    // The Windows NT family (NT 4.0, 2000, XP and later).
    [[nodiscard]] bool isNt() const { return known_ && platform() == VER_PLATFORM_WIN32_NT; }
    // The service pack text ("Service Pack 6a") is at or above the given one,
    // compared as text without regard to letter case, as setups always have.
    [[nodiscard]] bool servicePackAtLeast(const char *servicePack) const;

private:
    bool known_ = false;
    OSVERSIONINFOA info_{};
};

} // namespace os
