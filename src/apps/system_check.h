// The check that the system is one the product can be installed on, the
// first step of the client and the server setup.
#pragma once

#include "radozavu.h"

namespace apps {

// The client setup also runs on the Windows 95 family; the server setup
// needs Windows NT.
enum class SetupKind { Client, Server };

// Checks the system's version, telling the user through the installer's
// message boxes; false when setup must stop. Windows NT 4 older than
// Service Pack 3 gets a warning and passes.
bool SystemAllowsSetup(const SetupCallRecord &record, SetupKind kind);

} // namespace apps
