#include <windows.h>

#include "code_page.h"

namespace conformance::platform {

bool useCodePage(unsigned codePage) { return GetACP() == codePage; }

} // namespace conformance::platform
