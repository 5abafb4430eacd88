// Processes and waits of the emulated machine. A wait does not
// really wait: it runs the virtual clock forward to the next scheduled
// event until the object is signalled or the time limit is reached.
#include "emulator/kernel/kernel_objects.h"
#include "emulator/processes/process_state.h"
#include "platform/processes.h"
#include "platform/system.h"

namespace emu {

std::shared_ptr<Process> startProcess(const std::string &image) {
    Processes &programs = processes();
    auto process = std::make_shared<Process>();
    process->id = programs.nextProcessId;
    programs.nextProcessId += 4;
    process->image = image;
    programs.running[process->id] = process;
    return process;
}

void endProcess(DWORD id, DWORD exitCode) {
    auto it = processes().running.find(id);
    if (it != processes().running.end() && !it->second->exited) {
        it->second->exited = true;
        it->second->exitCode = exitCode;
        it->second->heldObjects.clear();
        destroyWindowsOf(id);
    }
}

} // namespace emu

namespace win {

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto object = emu::kernel().handles.get(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    emu::Clock &clock = emu::kernel().clock;
    const std::uint64_t deadline = milliseconds == INFINITE
                                       ? UINT64_MAX
                                       : clock.now() + static_cast<std::uint64_t>(milliseconds);
    while (!object->signaled()) {
        const std::uint64_t next = clock.nextEvent();
        if (next > deadline || next == UINT64_MAX) {
            if (deadline != UINT64_MAX) {
                clock.advance(deadline - clock.now());
            }
            // Nothing scheduled can signal it: an endless wait would hang
            // the installer for good; the machine reports it as a failure.
            if (milliseconds == INFINITE) {
                SetLastError(ERROR_TIMEOUT);
                return WAIT_FAILED;
            }
            if (!object->signaled()) {
                return WAIT_TIMEOUT;
            }
            break;
        }
        clock.advance(next - clock.now());
    }
    object->satisfyWait();
    return WAIT_OBJECT_0;
}

HANDLE OpenProcess(DWORD access, BOOL /*inheritHandle*/, DWORD processId) {
    auto it = emu::processes().running.find(processId);
    // The machine keeps no ended process open by its id (Windows does so
    // only while some handle to it stays open).
    if (processId == 0 || it == emu::processes().running.end() || it->second->exited) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if ((access & ~it->second->allowedAccess) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return emu::kernel().handles.add(it->second);
}

BOOL TerminateProcess(HANDLE handle, UINT exitCode) {
    auto process = emu::kernel().handles.getAs<emu::Process>(handle);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (process->exited) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    process->terminated = true;
    emu::endProcess(process->id, exitCode);
    return TRUE;
}

} // namespace win
