// The time of the last setup, stamped into the product's preferences.
#include <cstdio>

#include "platform/system_time.h"
#include "radozavu.h"
#include "registry/product_registry.h"

namespace {

// Stores the current time as "high-low": the two 32-bit halves of the
// FILETIME, each printed as a signed number (so a low half with its top bit
// set gives two minus signs in a row).
void StampSetupTime() {
    FILETIME now{};
    win::GetSystemTimeAsFileTime(&now);
    char text[24]; // "-2147483648--2147483648" and the terminator
    std::snprintf(text, sizeof text, "%d-%d", static_cast<int>(now.dwHighDateTime),
                  static_cast<int>(now.dwLowDateTime));
    registry::WriteProductString("Preferences", "LastSetupTime", text, HKEY_LOCAL_MACHINE);
}

} // namespace

extern "C" RADOZAVU_API(int) HKUpdateSetupDateInRegistryEX() {
    StampSetupTime();
    return 0;
}

extern "C" RADOZAVU_API(int) HKUpdateSetupDateInRegistry(const SetupCallRecord * /*record*/) {
    StampSetupTime();
    return 0;
}
