// The library's life in its host process: what happens at load and unload,
// and state that lives for one load of the library.
#pragma once

#include <functional>
#include <utility>

#include "platform/types.h"

namespace frame {

// Runs when the library has been loaded into a process: the application
// object's start-up step (it works out the product's display name).
void libraryLoad(HINSTANCE module);
// Returns every piece of per-load state to its initial value, as a fresh load
// of the library finds it: the emulated tests unload and load the library
// again within one process this way.
void libraryUnload();
// The library's own module (its string resources live there).
HINSTANCE libraryModule();

#ifndef _WIN32
// The library's module on the emulated machine: the load path gives the
// machine the library's string table, as Windows finds it in RADOZAVU.DLL's
// resources, and passes the handle returned to libraryLoad.
HINSTANCE emulatedModule();
#endif

namespace detail {
void onUnload(std::function<void()> reset);
}

// A value that lives for one load of the library and starts afresh with the
// next load (T's default value).
template <class T> class PerLoad {
public:
    PerLoad() {
        detail::onUnload([this] { value_ = T{}; });
    }
    PerLoad(const PerLoad &) = delete;
    PerLoad &operator=(const PerLoad &) = delete;
    ~PerLoad() = default;

    T &operator*() { return value_; }
    T *operator->() { return &value_; }

private:
    T value_{};
};

} // namespace frame
