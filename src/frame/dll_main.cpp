// Entry point of RADOZAVU.DLL on Windows: the loader calls it at load and
// unload; threads starting and ending in the host process change nothing.
#include "frame/library.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        frame::libraryLoad(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        frame::libraryUnload();
    }
    return TRUE;
}
