// Named semaphores of the emulated machine. A name stays taken while some
// handle or process holds its object; opening a name held by an object of
// another kind fails as it does on Windows.
#include "emulator/kernel/kernel_objects.h"
#include "emulator/processes/process_state.h"
#include "platform/semaphores.h"
#include "platform/system.h"

namespace emu {

std::shared_ptr<Semaphore> createSemaphore(const std::string &name, LONG count, LONG maximum,
                                           DWORD holderProcessId) {
    auto semaphore = std::make_shared<Semaphore>();
    semaphore->count = count;
    semaphore->maximum = maximum;
    nameObject(name, semaphore);
    auto holder = processes().running.find(holderProcessId);
    if (holder != processes().running.end()) {
        holder->second->heldObjects.push_back(semaphore);
    }
    return semaphore;
}

} // namespace emu

namespace win {

HANDLE CreateSemaphoreA(LPSECURITY_ATTRIBUTES /*security*/, LONG initialCount, LONG maximumCount,
                        LPCSTR name) {
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const bool named = name != nullptr && name[0] != '\0';
    if (named) {
        auto it = emu::kernel().namedObjects.find(name);
        if (it != emu::kernel().namedObjects.end()) {
            if (auto existing = it->second.lock()) {
                auto semaphore = std::dynamic_pointer_cast<emu::Semaphore>(existing);
                if (!semaphore) {
                    SetLastError(ERROR_INVALID_HANDLE);
                    return nullptr;
                }
                if (semaphore->deniesAccess) {
                    SetLastError(ERROR_ACCESS_DENIED);
                    return nullptr;
                }
                // The existing semaphore keeps its own counts.
                HANDLE handle = emu::kernel().handles.add(semaphore);
                SetLastError(ERROR_ALREADY_EXISTS);
                return handle;
            }
        }
    }
    auto semaphore = std::make_shared<emu::Semaphore>();
    semaphore->count = initialCount;
    semaphore->maximum = maximumCount;
    if (named) {
        emu::nameObject(name, semaphore);
    }
    SetLastError(ERROR_SUCCESS);
    return emu::kernel().handles.add(semaphore);
}

BOOL ReleaseSemaphore(HANDLE handle, LONG releaseCount, LPLONG previousCount) {
    auto semaphore = emu::kernel().handles.getAs<emu::Semaphore>(handle);
    if (!semaphore) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (releaseCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (releaseCount > semaphore->maximum - semaphore->count) {
        SetLastError(ERROR_TOO_MANY_POSTS);
        return FALSE;
    }
    if (previousCount != nullptr) {
        *previousCount = semaphore->count;
    }
    semaphore->count += releaseCount;
    return TRUE;
}

} // namespace win
