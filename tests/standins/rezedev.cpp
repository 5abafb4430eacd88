// Stand-in for the product's sibling library Rezedev.dll, which configures
// the services that depend on the product's service. It records its load
// and each call, and answers with RADOZAVU_REZEDEV_RESULT (1 when unset).
// Built with STANDIN_IMPORTS_ZEPSHARED it imports ZepShared.dll, a library
// of its own folder, as a sibling library may.
#include "standin.h"

#ifdef STANDIN_IMPORTS_ZEPSHARED
extern "C" int ZepSharedValue();
#endif

namespace {
struct LoadRecord {
    LoadRecord() { standin::record("load Rezedev.dll"); }
} loadRecord;
} // namespace

STANDIN_EXPORT int STANDIN_CALL HKConfigureDependentServices(const char *service, int selector) {
    standin::record(std::string("HKConfigureDependentServices ") + (service ? service : "(null)") +
                    " " + std::to_string(selector));
#ifdef STANDIN_IMPORTS_ZEPSHARED
    ZepSharedValue();
#endif
    return standin::result("RADOZAVU_REZEDEV_RESULT", 1);
}
