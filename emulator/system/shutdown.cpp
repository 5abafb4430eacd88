// Access tokens, privileges and the end of Windows on the emulated machine.
// Requests to end Windows are journalled, never carried out. On the Windows
// NT platform they need the shutdown privilege enabled in the caller's token;
// the Windows 95 family has no tokens and asks for no privilege.
#include <string>
#include <vector>

#include "emulator/kernel/kernel_objects.h"
#include "emulator/system/system_state.h"
#include "platform/shutdown.h"
#include "platform/system.h"

namespace emu {
namespace {

// The privileges Windows knows, with the locally unique identifiers it gives
// them (the numbers are Windows' own).
struct KnownPrivilege {
    const char *name;
    DWORD luid;
};
constexpr KnownPrivilege kKnownPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},
    {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6},
    {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},
    {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},
    {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},
    {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14},
    {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16},
    {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},
    {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},
    {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22},
    {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},
    {"SeUndockPrivilege", 25},
};

const KnownPrivilege *privilegeByLuid(const LUID &luid) {
    for (const KnownPrivilege &known : kKnownPrivileges) {
        if (luid.HighPart == 0 && luid.LowPart == known.luid) {
            return &known;
        }
    }
    return nullptr;
}

// The pseudo handle GetCurrentProcess gives, as on Windows.
HANDLE currentProcess() { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)); }

struct TokenHandle : KernelObject {
    DWORD access = 0;
};

bool onNtPlatform() { return system().version.platform == VER_PLATFORM_WIN32_NT; }

bool shutdownPrivilegeEnabled() {
    const auto &privileges = system().processToken.privileges;
    auto it = privileges.find("SeShutdownPrivilege");
    return it != privileges.end() && (it->second & SE_PRIVILEGE_ENABLED) != 0;
}

// Journals a request; on NT it is refused without the shutdown privilege.
BOOL request(RestartRequest made) {
    made.accepted = !onNtPlatform() || shutdownPrivilegeEnabled();
    system().restartRequests.push_back(made);
    if (system().onRestartRequest) {
        system().onRestartRequest(made);
    }
    if (!made.accepted) {
        win::SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    return TRUE;
}

} // namespace
} // namespace emu

namespace win {

HANDLE GetCurrentProcess() { return emu::currentProcess(); }

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    if (!emu::onNtPlatform()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (token == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER); // 998 on Windows; any failure will do
        return FALSE;
    }
    if (process != emu::currentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (emu::system().processToken.openRefused) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto handle = std::make_shared<emu::TokenHandle>();
    handle->access = access;
    *token = emu::kernel().handles.add(handle);
    return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid) {
    if (!emu::onNtPlatform()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (systemName != nullptr && systemName[0] != '\0') {
        SetLastError(1722); // RPC_S_SERVER_UNAVAILABLE: the machine knows no other computer
        return FALSE;
    }
    for (const emu::KnownPrivilege &known : emu::kKnownPrivileges) {
        if (name != nullptr && emu::equalNoCase(known.name, name)) {
            luid->LowPart = known.luid;
            luid->HighPart = 0;
            return TRUE;
        }
    }
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                           DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                           PDWORD returnLength) {
    auto handle = emu::kernel().handles.getAs<emu::TokenHandle>(token);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const DWORD needed = TOKEN_ADJUST_PRIVILEGES | (previousState != nullptr ? TOKEN_QUERY : 0);
    if ((handle->access & needed) != needed) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // The library never disables every privilege at once; the machine does
    // not offer it.
    if (disableAll != FALSE || newState == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto &held = emu::system().processToken.privileges;
    // Work out the change first: a previous state that does not fit in the
    // caller's buffer leaves every privilege as it was. Only privileges whose
    // state changes are reported in it, as Windows does.
    struct Change {
        std::string name;
        DWORD luid;
        DWORD before;
        DWORD after;
    };
    std::vector<Change> changes;
    bool allAssigned = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES &wanted = newState->Privileges[i];
        const emu::KnownPrivilege *known = emu::privilegeByLuid(wanted.Luid);
        auto it = known != nullptr ? held.find(known->name) : held.end();
        if (it == held.end()) {
            allAssigned = false;
            continue;
        }
        const DWORD after =
            (it->second & ~SE_PRIVILEGE_ENABLED) | (wanted.Attributes & SE_PRIVILEGE_ENABLED);
        if (after != it->second) {
            changes.push_back({it->first, known->luid, it->second, after});
        }
    }
    if (previousState != nullptr) {
        const auto size =
            static_cast<DWORD>(sizeof(DWORD) + changes.size() * sizeof(LUID_AND_ATTRIBUTES));
        if (returnLength != nullptr) {
            *returnLength = size;
        }
        if (bufferLength < size) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        previousState->PrivilegeCount = static_cast<DWORD>(changes.size());
        for (std::size_t i = 0; i < changes.size(); ++i) {
            LUID_AND_ATTRIBUTES &entry = previousState->Privileges[i];
            entry.Luid = LUID{changes[i].luid, 0};
            entry.Attributes = changes[i].before;
        }
    }
    for (const Change &change : changes) {
        held[change.name] = change.after;
    }
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

BOOL ExitWindowsEx(UINT flags, DWORD reason) {
    emu::RestartRequest made;
    made.call = "ExitWindowsEx";
    made.flags = flags;
    made.reason = reason;
    return emu::request(made);
}

BOOL InitiateSystemShutdownA(LPSTR machineName, LPSTR message, DWORD timeout, BOOL forceAppsClosed,
                             BOOL rebootAfterShutdown) {
    if (!emu::onNtPlatform()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    emu::RestartRequest made;
    made.call = "InitiateSystemShutdownA";
    if (machineName != nullptr) {
        made.machineName = machineName;
    }
    if (message != nullptr) {
        made.message = message;
    }
    made.timeout = timeout;
    made.forceAppsClosed = forceAppsClosed;
    made.rebootAfterShutdown = rebootAfterShutdown;
    return emu::request(made);
}

} // namespace win
