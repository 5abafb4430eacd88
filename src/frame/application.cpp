#include "frame/application.h"

#include "base/mbtext.h"
#include "base/per_load.h"
#include "registry/product_registry.h"

namespace frame {
namespace {

struct Application {
    std::string displayName;
};

// Made on first use: the load step of the shared object may run before the
// static objects of this file have been constructed.
per_load::PerLoad<Application> &theApplication() {
    static per_load::PerLoad<Application> application;
    return application;
}

} // namespace

void startApplication() {
    const char *stored = registry::ReadProductString("Current Version", "ProductName", "Quillane",
                                                     HKEY_LOCAL_MACHINE);
    theApplication()->displayName.assign(stored,
                                         mbtext::prefixLength(stored, kMaxDisplayNameLength));
}

const std::string &productDisplayName() { return theApplication()->displayName; }

} // namespace frame
