// The list of running processes (tool help) of the emulated machine: a
// snapshot of the processes that run when it is taken, each with the file
// name of its program, as the Windows 95 family gives it (the whole path)
// or the NT family (the file name alone).
#include <cstring>
#include <vector>

#include "emulator/kernel/kernel_objects.h"
#include "emulator/processes/process_state.h"
#include "emulator/processes/search_path.h"
#include "emulator/system/system_state.h"
#include "platform/system.h"
#include "platform/toolhelp.h"

namespace emu {
namespace {

struct ProcessSnapshot : KernelObject {
    std::vector<std::pair<DWORD, std::string>> processes; // id, program file
    std::size_t next = 0;
};

BOOL fillEntry(HANDLE snapshot, LPPROCESSENTRY32 entry, bool first) {
    auto list = kernel().handles.getAs<ProcessSnapshot>(snapshot);
    if (!list) {
        win::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (entry == nullptr || entry->dwSize < sizeof(PROCESSENTRY32)) {
        win::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (first) {
        list->next = 0;
    }
    if (list->next >= list->processes.size()) {
        win::SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const auto &[id, program] = list->processes[list->next++];
    const DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof(PROCESSENTRY32));
    entry->dwSize = size;
    entry->th32ProcessID = id;
    entry->cntThreads = 1;
    const std::string shown =
        system().version.platform == VER_PLATFORM_WIN32_NT ? lastName(program) : program;
    std::strncpy(entry->szExeFile, shown.c_str(), MAX_PATH - 1);
    return TRUE;
}

} // namespace
} // namespace emu

namespace win {

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD /*processId*/) {
    if ((flags & TH32CS_SNAPPROCESS) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto snapshot = std::make_shared<emu::ProcessSnapshot>();
    for (const auto &[id, process] : emu::processes().running) {
        if (!process->exited) {
            snapshot->processes.emplace_back(id, process->image);
        }
    }
    return emu::kernel().handles.add(snapshot);
}

BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry) {
    return emu::fillEntry(snapshot, entry, true);
}

BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry) {
    return emu::fillEntry(snapshot, entry, false);
}

} // namespace win
