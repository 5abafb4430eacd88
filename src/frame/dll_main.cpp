// Entry point of RADOZAVU.DLL on Windows: at load the application object's
// start-up step runs. At unload the DLL's static destructors destroy the
// application object; threads starting and ending in the host process
// change nothing.
#include "frame/library.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        frame::libraryLoad(instance);
    }
    return TRUE;
}
