// The library's string table for the emulated machine, from the same list
// that radozavu.rc compiles into RADOZAVU.DLL.
#include "frame/library.h"
#include "platform/resources.h"

namespace frame {

HINSTANCE emulatedModule() {
    static const win::StringResource strings[] = {
#define RADOZAVU_MESSAGE(number, text) {number, text},
#include "messages.inc"
#undef RADOZAVU_MESSAGE
    };
    return win::RegisterStringTable(strings, sizeof strings / sizeof strings[0]);
}

} // namespace frame
