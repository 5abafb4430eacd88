// State that lives for one load of the library: a fresh load finds every
// PerLoad value at its initial value again. On Windows a load is the life of
// the DLL in its process; the emulated tests unload and load the library
// again within one process, and resetPerLoadState() is that unload.
#pragma once

#include <functional>

namespace per_load {

// Returns every PerLoad value to its initial value.
void resetPerLoadState();

namespace detail {
void onReset(std::function<void()> reset);
}

// A value that lives for one load of the library and starts afresh with the
// next load (T's default value). Hold it, and any object holding one, in a
// function's static, made on first use, never at namespace scope: the load
// step of the shared object may run before the static objects of a file are
// constructed.
template <class T> class PerLoad {
public:
    PerLoad() {
        detail::onReset([this] { value_ = T{}; });
    }
    PerLoad(const PerLoad &) = delete;
    PerLoad &operator=(const PerLoad &) = delete;
    ~PerLoad() = default;

    T &operator*() { return value_; }
    T *operator->() { return &value_; }

private:
    T value_{};
};

} // namespace per_load
