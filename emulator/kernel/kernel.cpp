// Kernel handles and the virtual clock of the emulated machine.
#include "emulator/kernel/kernel_objects.h"

#include "platform/kernel.h"

namespace emu {

void Clock::advance(std::uint64_t milliseconds) {
    const std::uint64_t target =
        milliseconds > kClockMaximum - now_ ? kClockMaximum : now_ + milliseconds;
    // Events may schedule further events; run them in time order.
    while (!events_.empty() && events_.begin()->first <= target) {
        auto event = events_.begin();
        now_ = event->first > now_ ? event->first : now_;
        auto action = std::move(event->second);
        events_.erase(event);
        action();
    }
    now_ = target;
}

void Clock::schedule(std::uint64_t at, std::function<void()> action) {
    if (at <= now_) {
        action();
        return;
    }
    events_.emplace(at, std::move(action));
}

HANDLE HandleTable::add(std::shared_ptr<KernelObject> object) {
    const std::uintptr_t handle = next_;
    next_ += 4;
    objects_[handle] = std::move(object);
    return reinterpret_cast<HANDLE>(handle);
}

std::shared_ptr<KernelObject> HandleTable::get(HANDLE handle) const {
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
}

bool HandleTable::close(HANDLE handle) {
    return objects_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1;
}

void nameObject(const std::string &name, const std::shared_ptr<KernelObject> &object) {
    kernel().namedObjects[name] = object;
}

} // namespace emu

namespace win {

BOOL CloseHandle(HANDLE object) {
    if (!emu::kernel().handles.close(object)) {
        emu::kernel().lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return TRUE;
}

DWORD GetTickCount() { return static_cast<DWORD>(emu::kernel().clock.now()); }

// Sleep(0) only gives up the rest of the time slice, yet time still passes:
// a loop that polls with it moves the clock on by 1 ms a round.
void Sleep(DWORD milliseconds) {
    emu::kernel().clock.advance(milliseconds == 0 ? 1 : milliseconds);
}

} // namespace win
