#include "emulator/machine.h"

namespace emu {
namespace {
std::unique_ptr<Machine> &currentMachine() {
    static std::unique_ptr<Machine> current = std::make_unique<Machine>();
    return current;
}
} // namespace

Machine &machine() { return *currentMachine(); }

void resetMachine() { currentMachine() = std::make_unique<Machine>(); }

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

std::size_t localAllocationCount();

std::size_t openHandleCount() {
    Machine &m = machine();
    return m.registry.openHandleCount() + m.handles.openCount() + localAllocationCount() +
           m.shellItemLists.size() + m.heapBlocks.size();
}

} // namespace emu
