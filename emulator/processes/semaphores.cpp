// Named semaphores of the emulated machine. A name stays taken while some
// handle or process holds its object; opening a name held by an object of
// another kind fails as it does on Windows.
#include "platform/semaphores.h"
#include "emulator/machine.h"
#include "platform/system.h"

namespace emu {

void nameObject(const std::string &name, const std::shared_ptr<KernelObject> &object) {
    machine().namedObjects[name] = object;
}

std::shared_ptr<Semaphore> createSemaphore(const std::string &name, LONG count, LONG maximum,
                                           DWORD holderProcessId) {
    auto semaphore = std::make_shared<Semaphore>();
    semaphore->count = count;
    semaphore->maximum = maximum;
    nameObject(name, semaphore);
    auto holder = machine().processes.find(holderProcessId);
    if (holder != machine().processes.end()) {
        holder->second->heldObjects.push_back(semaphore);
    }
    return semaphore;
}

} // namespace emu

namespace win {

HANDLE CreateSemaphoreA(LPSECURITY_ATTRIBUTES /*security*/, LONG initialCount, LONG maximumCount,
                        LPCSTR name) {
    emu::Machine &m = emu::machine();
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const bool named = name != nullptr && name[0] != '\0';
    if (named) {
        auto it = m.namedObjects.find(name);
        if (it != m.namedObjects.end()) {
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
                HANDLE handle = m.handles.add(semaphore);
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
    return m.handles.add(semaphore);
}

BOOL ReleaseSemaphore(HANDLE handle, LONG releaseCount, LPLONG previousCount) {
    auto semaphore = emu::machine().handles.getAs<emu::Semaphore>(handle);
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
