// The library's life in its host process: what happens at load and unload.
#pragma once

#include "platform/types.h"

namespace frame {

// Runs when the library has been loaded into a process: the application
// object's start-up step (it works out the product's display name).
void libraryLoad(HINSTANCE module);
// Returns every piece of per-load state to its initial value, as a fresh load
// of the library finds it (base/per_load.h).
void libraryUnload();
// The library's own module (its string resources live there).
HINSTANCE libraryModule();

#ifndef _WIN32
// The library's module on the emulated machine: the load path gives the
// machine the library's string table, as Windows finds it in RADOZAVU.DLL's
// resources, and passes the handle returned to libraryLoad.
HINSTANCE emulatedModule();
#endif

} // namespace frame
