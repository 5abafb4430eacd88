// Load of the library built as a shared object for the emulated machine: the
// loader runs this as it runs DllMain on Windows. At unload the shared
// object's own static destructors destroy the application object; nothing
// else of the library's own happens.
#include "frame/library.h"

namespace {
__attribute__((constructor)) void onLoad() { frame::libraryLoad(nullptr); }
} // namespace
