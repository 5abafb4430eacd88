#include "code_page.h"

#include "emulator/machine.h"

namespace conformance::platform {

bool useCodePage(unsigned codePage) {
    emu::machine().system.codePage = codePage;
    return true;
}

} // namespace conformance::platform
