#include "base/per_load.h"

#include <utility>
#include <vector>

namespace per_load {
namespace {

std::vector<std::function<void()>> &resets() {
    static std::vector<std::function<void()>> all;
    return all;
}

} // namespace

void detail::onReset(std::function<void()> reset) { resets().push_back(std::move(reset)); }

void resetPerLoadState() {
    for (auto &reset : resets()) {
        reset();
    }
}

} // namespace per_load
