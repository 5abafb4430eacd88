// The kernel of the emulated machine: the objects behind handles, the
// handle table, the names objects go by, the thread's last error and the
// virtual clock every wait runs on.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/types.h"

namespace emu {

// The virtual clock: Sleep advances it, and events scheduled on it run as it
// passes their time, so waits are tested without real waiting. It stops at
// its maximum, kClockMaximum, rather than wrap back to an earlier time.
class Clock {
public:
    [[nodiscard]] std::uint64_t now() const { return now_; }
    void advance(std::uint64_t milliseconds);
    // Starts a clock that nothing is scheduled on yet at a reading of its own
    // (a machine loaded from its folder).
    void start(std::uint64_t now) { now_ = now; }
    // Runs action once the clock reaches at (or at once if it has).
    void schedule(std::uint64_t at, std::function<void()> action);
    // The time of the next scheduled event, UINT64_MAX when there is none.
    [[nodiscard]] std::uint64_t nextEvent() const {
        return events_.empty() ? UINT64_MAX : events_.begin()->first;
    }

private:
    std::uint64_t now_ = 100000;
    std::multimap<std::uint64_t, std::function<void()>> events_;
};

// The largest reading of the virtual clock, in milliseconds, at which it stops.
constexpr std::uint64_t kClockMaximum = UINT64_MAX;

// Kernel objects behind HANDLEs (files, searches, processes, semaphores ...).
struct KernelObject {
    KernelObject() = default;
    KernelObject(const KernelObject &) = delete;
    KernelObject &operator=(const KernelObject &) = delete;
    virtual ~KernelObject() = default;
    [[nodiscard]] virtual bool signaled() const { return false; }
    // What a wait that the object satisfies does to it (a semaphore's count
    // goes down by one).
    virtual void satisfyWait() {}
};

class HandleTable {
public:
    HANDLE add(std::shared_ptr<KernelObject> object);
    [[nodiscard]] std::shared_ptr<KernelObject> get(HANDLE handle) const;
    template <class T> std::shared_ptr<T> getAs(HANDLE handle) const {
        return std::dynamic_pointer_cast<T>(get(handle));
    }
    bool close(HANDLE handle);
    [[nodiscard]] std::size_t openCount() const { return objects_.size(); }

private:
    std::map<std::uintptr_t, std::shared_ptr<KernelObject>> objects_;
    std::uintptr_t next_ = 0x200;
};

// The machine's part that the kernel keeps.
struct Kernel {
    HandleTable handles;
    DWORD lastError = 0;
    Clock clock;
    // Named kernel objects; a name lives as long as some handle or process
    // holds its object. Names are case-sensitive.
    std::map<std::string, std::weak_ptr<KernelObject>> namedObjects;
};

// The current machine's kernel.
Kernel &kernel();

// Gives an object a name in the machine's namespace.
void nameObject(const std::string &name, const std::shared_ptr<KernelObject> &object);

} // namespace emu
