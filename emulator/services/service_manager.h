// The emulated machine's service control manager: installed services with
// their states and wait hints, the order in which it lists a service's
// dependents, and the refusals a test sets up.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "emulator/case_less.h"
#include "platform/types.h"

namespace emu {

// A stop that never completes: the service stays stop-pending.
constexpr std::uint64_t kNeverStops = UINT64_MAX;

struct Service {
    std::string name;
    std::string displayName;
    DWORD state = SERVICE_RUNNING;
    DWORD waitHint = 0;      // reported while a change is pending
    bool acceptsStop = true; // false: a stop request fails with 1052
    // After a stop request the service is stop-pending for stopDuration
    // virtual ms, reporting stopWaitHint, then stopped (at once for 0).
    std::uint64_t stopDuration = 0;
    DWORD stopWaitHint = 0;
    ACCESS_MASK deniedAccess = 0; // rights OpenServiceA refuses (ERROR_ACCESS_DENIED)
    // The services that depend on this one, in the order the manager lists
    // them; only the active ones are listed.
    std::vector<std::string> dependents;
};

// A control request that reached the manager, with its outcome.
struct ServiceControlRecord {
    std::string service;
    DWORD control = 0;
    DWORD error = ERROR_SUCCESS;
    std::uint64_t at = 0; // virtual time
};

struct ServiceManager {
    std::map<std::string, std::shared_ptr<Service>, CaseLess> services;
    bool refusesConnection = false; // OpenSCManagerA fails with ERROR_ACCESS_DENIED
    std::vector<ServiceControlRecord> controls;

    // Installs a service (or replaces one of that name) in a state.
    Service &add(const std::string &name, DWORD state = SERVICE_RUNNING);
    // The service of that name, nullptr when none is installed.
    [[nodiscard]] std::shared_ptr<Service> find(const std::string &name) const;
    // The services that got a control, in the order they got it.
    [[nodiscard]] std::vector<std::string> controlled(DWORD control) const;
};

// The current machine's service control manager.
ServiceManager &services();

} // namespace emu
