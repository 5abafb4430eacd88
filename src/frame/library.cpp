#include "frame/library.h"

#include <vector>

#include "frame/application.h"

namespace frame {
namespace {

HINSTANCE &module() {
    static HINSTANCE handle = nullptr;
    return handle;
}

std::vector<std::function<void()>> &unloadResets() {
    static std::vector<std::function<void()>> resets;
    return resets;
}

} // namespace

void detail::onUnload(std::function<void()> reset) { unloadResets().push_back(std::move(reset)); }

void libraryLoad(HINSTANCE instance) {
    module() = instance;
    application().startUp();
}

void libraryUnload() {
    for (auto &reset : unloadResets()) {
        reset();
    }
}

HINSTANCE libraryModule() { return module(); }

} // namespace frame
