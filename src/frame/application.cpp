#include "frame/application.h"

#include "frame/library.h"
#include "platform/mbtext.h"
#include "registry/product_registry.h"

namespace frame {
namespace {
PerLoad<Application> theApplication;
} // namespace

void Application::startUp() {
    const char *stored = registry::ReadProductString("Current Version", "ProductName", "Quillane",
                                                     HKEY_LOCAL_MACHINE);
    name_.assign(stored, mbtext::prefixLength(stored, kMaxDisplayNameLength));
}

Application &application() { return *theApplication; }

const std::string &productDisplayName() { return application().name(); }

} // namespace frame
