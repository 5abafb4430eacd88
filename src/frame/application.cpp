#include "frame/application.h"

#include "frame/library.h"
#include "base/mbtext.h"
#include "registry/product_registry.h"

namespace frame {
namespace {
// Made on first use: the load step of the shared object may run before the
// static objects of this file have been constructed.
PerLoad<Application> &theApplication() {
    static PerLoad<Application> application;
    return application;
}
} // namespace

void Application::startUp() {
    const char *stored = registry::ReadProductString("Current Version", "ProductName", "Quillane",
                                                     HKEY_LOCAL_MACHINE);
    name_.assign(stored, mbtext::prefixLength(stored, kMaxDisplayNameLength));
}

Application &application() { return *theApplication(); }

const std::string &productDisplayName() { return application().name(); }

} // namespace frame
