// The restart of the computer at the end of an installation: the product's
// agent is asked to close, then Windows is asked to restart, through
// InitiateSystemShutdownA on Windows NT 4.0 with Service Pack 6 or later
// (unless the product's setting turns that off), else through ExitWindowsEx.
// Every step is traced to the debug log in the install folder.
#pragma once

#include "platform/types.h"

namespace os {

constexpr const char *kAgentWindowTitle = "Quillane Agent";

// Windows NT 4.0 or a later NT version.
bool IsWindowsNt4OrLater();
// Windows NT 4.0 whose service-pack text is "Service Pack 6" or above,
// compared without regard to case ("Service Pack 6a" passes).
bool IsWindowsNt4Sp6OrLater();

// Sets (enable non-zero) or clears one privilege of a token, keeping its
// other attribute bits; a null token means the current process's token,
// opened and closed here. ERROR_SUCCESS, or the error code of the system
// call that failed.
DWORD AdjustProcessPrivilege(const char *privilegeName, BOOL enable, HANDLE token);

// Marks "ExitWindows" in the user's product key and asks Windows to restart.
// The results of the system calls are not examined: a refused restart leaves
// Windows running.
void RestartComputer();

} // namespace os
