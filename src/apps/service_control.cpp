#include "apps/service_control.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "frame/busy_cursor.h"
#include "frame/messages.h"
#include "base/handles.h"
#include "platform/kernel.h"
#include "platform/system.h"

namespace apps {
namespace {

constexpr ACCESS_MASK kStopAccess =
    SERVICE_STOP | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_QUERY_STATUS;
constexpr ACCESS_MASK kDependentAccess = SERVICE_STOP | SERVICE_QUERY_STATUS;

// The time budget of one stop operation, counted from its construction with
// an unsigned 32-bit tick difference, so it holds across the tick count's
// wrap-around.
class StopBudget {
public:
    explicit StopBudget(DWORD budgetMs) : start_(win::GetTickCount()), budget_(budgetMs) {}

    [[nodiscard]] bool isUp() const { return elapsed() > budget_; }

    // Sleeps for a service's wait hint, but no longer than until the budget
    // is up: a service reporting an absurd hint cannot hold setup past it.
    void sleepFor(DWORD waitHint) const {
        const DWORD spent = elapsed();
        const std::uint64_t untilUp = spent > budget_ ? 0 : std::uint64_t{budget_} - spent;
        win::Sleep(static_cast<DWORD>(std::min<std::uint64_t>(waitHint, untilUp + 1)));
    }

private:
    [[nodiscard]] DWORD elapsed() const { return win::GetTickCount() - start_; }

    DWORD start_;
    DWORD budget_;
};

// One round of waiting for a service to stop: sleep for the wait hint, then
// query. Gives the result of the operation once there is one: ERROR_SUCCESS
// when the service is stopped, the query's error, or ERROR_TIMEOUT.
std::optional<DWORD> pollStop(SC_HANDLE service, SERVICE_STATUS &status, const StopBudget &budget) {
    budget.sleepFor(status.dwWaitHint);
    if (!win::QueryServiceStatus(service, &status)) {
        return win::GetLastError();
    }
    if (status.dwCurrentState == SERVICE_STOPPED) {
        return ERROR_SUCCESS;
    }
    if (budget.isUp()) {
        return ERROR_TIMEOUT;
    }
    return std::nullopt;
}

// Waits until a service that was asked to stop is stopped.
DWORD waitForStop(SC_HANDLE service, SERVICE_STATUS &status, const StopBudget &budget) {
    while (status.dwCurrentState != SERVICE_STOPPED) {
        if (auto result = pollStop(service, status, budget)) {
            return *result;
        }
    }
    return ERROR_SUCCESS;
}

// Stops the active dependents of a service one after the other, in the
// order the manager lists them. The listing lives in one zero-filled heap
// block, given back on every way out.
DWORD stopActiveDependents(SC_HANDLE manager, SC_HANDLE service, SERVICE_STATUS &status,
                           const StopBudget &budget) {
    DWORD bytesNeeded = 0;
    DWORD count = 0;
    if (win::EnumDependentServicesA(service, SERVICE_ACTIVE, nullptr, 0, &bytesNeeded, &count)) {
        return ERROR_SUCCESS; // no active dependents
    }
    if (const DWORD error = win::GetLastError(); error != ERROR_MORE_DATA) {
        return error;
    }
    handles::UniqueHeapBlock block(
        win::HeapAlloc(win::GetProcessHeap(), HEAP_ZERO_MEMORY, bytesNeeded));
    if (!block) {
        // HeapAlloc leaves no error code of its own behind.
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    auto *dependents = static_cast<ENUM_SERVICE_STATUSA *>(block.get());
    if (!win::EnumDependentServicesA(service, SERVICE_ACTIVE, dependents, bytesNeeded, &bytesNeeded,
                                     &count)) {
        return win::GetLastError();
    }
    for (DWORD i = 0; i < count; ++i) {
        handles::UniqueServiceHandle dependent(
            win::OpenServiceA(manager, dependents[i].lpServiceName, kDependentAccess));
        if (!dependent) {
            return win::GetLastError();
        }
        if (!win::ControlService(dependent.get(), SERVICE_CONTROL_STOP, &status)) {
            return win::GetLastError();
        }
        if (const DWORD result = waitForStop(dependent.get(), status, budget);
            result != ERROR_SUCCESS) {
            return result;
        }
    }
    return ERROR_SUCCESS;
}

} // namespace

bool IsServiceRunning(const char *serviceName) {
    handles::UniqueServiceHandle manager(
        win::OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, GENERIC_READ));
    if (!manager) {
        return false;
    }
    handles::UniqueServiceHandle service(
        win::OpenServiceA(manager.get(), serviceName, SERVICE_INTERROGATE));
    if (!service) {
        return false;
    }
    SERVICE_STATUS status{};
    if (!win::ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &status)) {
        return false;
    }
    return status.dwCurrentState != SERVICE_STOPPED;
}

DWORD StopServiceAndDependents(SC_HANDLE manager, SC_HANDLE service, bool stopDependentsFirst,
                               DWORD budgetMs) {
    const StopBudget budget(budgetMs);
    // One status record serves the whole operation: every wait sleeps for
    // the hint of the status written last.
    SERVICE_STATUS status{};
    if (!win::QueryServiceStatus(service, &status)) {
        return win::GetLastError();
    }
    if (status.dwCurrentState == SERVICE_STOPPED) {
        return ERROR_SUCCESS;
    }
    // A stop already under way: wait for it rather than ask again.
    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        if (auto result = pollStop(service, status, budget)) {
            return *result;
        }
    }
    if (stopDependentsFirst) {
        if (const DWORD result = stopActiveDependents(manager, service, status, budget);
            result != ERROR_SUCCESS) {
            return result;
        }
    }
    if (!win::ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        return win::GetLastError();
    }
    return waitForStop(service, status, budget);
}

void StopServiceByName(const char *serviceName) {
    const frame::BusyCursor busy;
    handles::UniqueServiceHandle manager(win::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        frame::SystemErrorBox(win::GetLastError());
        return;
    }
    handles::UniqueServiceHandle service(
        win::OpenServiceA(manager.get(), serviceName, kStopAccess));
    if (!service) {
        frame::SystemErrorBox(win::GetLastError());
        return;
    }
    if (const DWORD result =
            StopServiceAndDependents(manager.get(), service.get(), true, kStopBudgetMs);
        result != ERROR_SUCCESS) {
        frame::SystemErrorBox(result);
    }
}

} // namespace apps
