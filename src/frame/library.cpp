#include "frame/library.h"

#include "base/per_load.h"
#include "frame/application.h"

namespace frame {
namespace {

HINSTANCE &module() {
    static HINSTANCE handle = nullptr;
    return handle;
}

} // namespace

void libraryLoad(HINSTANCE instance) {
    module() = instance;
    startApplication();
}

void libraryUnload() { per_load::resetPerLoadState(); }

HINSTANCE libraryModule() { return module(); }

} // namespace frame
