// Tests and stops of Windows services through the service control manager:
// a service is stopped only after its active dependents, all within one
// time budget.
#pragma once

#include "platform/types.h"

namespace apps {

// The budget of a stop by name, for the service and all its dependents.
constexpr DWORD kStopBudgetMs = 60000;

// True when the manager answers an interrogation of the service with any
// state but stopped; every failure reads as not running.
bool IsServiceRunning(const char *serviceName);

// Stops a service, first its active dependents when asked to, within budgetMs
// for the whole operation. The library always asks (stopDependentsFirst
// false is left to the tests, which show the manager refusing to stop a
// service whose dependents run). The caller opens and closes both handles. The
// result is a Win32 error code: ERROR_SUCCESS, ERROR_TIMEOUT when the budget
// ran out, or the code of the service call that failed.
DWORD StopServiceAndDependents(SC_HANDLE manager, SC_HANDLE service, bool stopDependentsFirst,
                               DWORD budgetMs);

// Stops a service and its active dependents within kStopBudgetMs, showing
// the wait cursor; a failure is shown to the user in the system error box.
void StopServiceByName(const char *serviceName);

} // namespace apps
