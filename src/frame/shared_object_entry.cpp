// Load and unload of the library built as a shared object for the emulated
// machine: the loader runs these as it runs DllMain on Windows.
#include "frame/library.h"

namespace {
__attribute__((constructor)) void onLoad() { frame::libraryLoad(nullptr); }
__attribute__((destructor)) void onUnload() { frame::libraryUnload(); }
} // namespace
