// Tokens, privileges and restart requests of the emulated machine. A restart
// is never performed: the request is journalled with the call used and its
// arguments, and the machine keeps running.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "emulator/case_less.h"
#include "platform/types.h"

namespace emu {

// The access token of the program that loaded the library: the privileges it
// holds, by name, each with its attributes (SE_PRIVILEGE_ENABLED and
// SE_PRIVILEGE_ENABLED_BY_DEFAULT). A privilege that is not listed is not
// held and cannot be enabled. Initially an administrator's token on XP.
struct ProcessToken {
    std::map<std::string, DWORD, CaseLess> privileges = {
        {"SeChangeNotifyPrivilege", SE_PRIVILEGE_ENABLED | SE_PRIVILEGE_ENABLED_BY_DEFAULT},
        {"SeSecurityPrivilege", 0},
        {"SeBackupPrivilege", 0},
        {"SeRestorePrivilege", 0},
        {"SeShutdownPrivilege", 0},
        {"SeDebugPrivilege", 0},
        {"SeRemoteShutdownPrivilege", 0},
        {"SeUndockPrivilege", 0},
    };
    bool openRefused = false; // OpenProcessToken fails with ERROR_ACCESS_DENIED
};

// One call that asked Windows to end.
struct RestartRequest {
    std::string call; // "ExitWindowsEx" or "InitiateSystemShutdownA"
    // ExitWindowsEx
    UINT flags = 0;
    DWORD reason = 0;
    // InitiateSystemShutdownA; a machine name or message not given is absent.
    std::optional<std::string> machineName;
    std::optional<std::string> message;
    DWORD timeout = 0;
    BOOL forceAppsClosed = FALSE;
    BOOL rebootAfterShutdown = FALSE;
    // Whether the system took the request (it refuses one without the
    // shutdown privilege enabled on Windows NT).
    bool accepted = false;
};

} // namespace emu
