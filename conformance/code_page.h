// The ANSI code page a case runs in. The emulated machine takes any code
// page at once; a Windows process keeps the one it started with, so under
// Wine the suite runs a second time in a Japanese locale (code page 932) for
// the cases of that code page (run-in-japanese-locale.sh).
#pragma once

namespace conformance::platform {

// True when the machine now uses codePage as its ANSI code page.
bool useCodePage(unsigned codePage);

} // namespace conformance::platform
