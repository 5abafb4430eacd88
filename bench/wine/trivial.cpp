// A DLL that does nothing, built and loaded as RADOZAVU.DLL is: the yardstick
// for what loading any mingw DLL, and calling one export of it, costs under
// Wine. Its one export has a getter's signature and hands back its argument.
#include <windows.h>

extern "C" const char *WINAPI EchoFolder(const char *setupFolder) { return setupFolder; }
