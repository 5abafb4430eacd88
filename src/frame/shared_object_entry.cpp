// Load of the library built as a shared object for the emulated machine: the
// loader runs this as it runs DllMain on Windows, the library's string table
// given to the machine as Windows maps it with the module. At unload the shared
// object's own static destructors destroy the application object; nothing
// else of the library's own happens.
#include "frame/library.h"

namespace {
__attribute__((constructor)) void onLoad() { frame::libraryLoad(frame::emulatedModule()); }
} // namespace
