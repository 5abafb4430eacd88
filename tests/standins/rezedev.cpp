// Stand-in for the product's sibling library Rezedev.dll, which configures
// the services that depend on the product's service. It records its load
// and each call, and answers with RADOZAVU_REZEDEV_RESULT (1 when unset).
#include "standin.h"

namespace {
struct LoadRecord {
    LoadRecord() { standin::record("load Rezedev.dll"); }
} loadRecord;
} // namespace

STANDIN_EXPORT int STANDIN_CALL HKConfigureDependentServices(const char *service, int selector) {
    standin::record(std::string("HKConfigureDependentServices ") + (service ? service : "(null)") +
                    " " + std::to_string(selector));
    return standin::result("RADOZAVU_REZEDEV_RESULT", 1);
}
