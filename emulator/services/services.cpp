// The service control manager of the emulated machine, with the access
// rules, state rules and error codes of Windows': a stopped service refuses
// controls with 1062, a pending one with 1061, a service that does not take
// stop requests with 1052, and one whose dependents still run with 1051.
#include <cstring>

#include "emulator/kernel/kernel_objects.h"
#include "emulator/services/service_manager.h"
#include "platform/services.h"
#include "platform/system.h"

namespace emu {

Service &ServiceManager::add(const std::string &name, DWORD state) {
    auto service = std::make_shared<Service>();
    service->name = name;
    service->displayName = name;
    service->state = state;
    services[name] = service;
    return *service;
}

std::shared_ptr<Service> ServiceManager::find(const std::string &name) const {
    auto it = services.find(name);
    return it == services.end() ? nullptr : it->second;
}

std::vector<std::string> ServiceManager::controlled(DWORD control) const {
    std::vector<std::string> names;
    for (const ServiceControlRecord &record : controls) {
        if (record.control == control) {
            names.push_back(record.service);
        }
    }
    return names;
}

namespace {

constexpr DWORD kRpcServerUnavailable = 1722;

// A handle of the manager (no service) or of one service, with its rights.
struct ServiceObject : KernelObject {
    std::shared_ptr<Service> service;
    ACCESS_MASK access = 0;
};

ServiceManager &manager() { return services(); }

SC_HANDLE addHandle(std::shared_ptr<Service> service, ACCESS_MASK access) {
    auto object = std::make_shared<ServiceObject>();
    object->service = std::move(service);
    object->access = access;
    return reinterpret_cast<SC_HANDLE>(kernel().handles.add(object));
}

std::shared_ptr<ServiceObject> objectOf(SC_HANDLE handle) {
    return kernel().handles.getAs<ServiceObject>(reinterpret_cast<HANDLE>(handle));
}

// The service behind a handle that holds the rights in need; nullptr with
// the last error set otherwise.
std::shared_ptr<Service> serviceOf(SC_HANDLE handle, ACCESS_MASK need) {
    auto object = objectOf(handle);
    if (!object || !object->service) {
        win::SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((object->access & need) != need) {
        win::SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return object->service;
}

bool isPending(DWORD state) {
    return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
           state == SERVICE_CONTINUE_PENDING || state == SERVICE_PAUSE_PENDING;
}

void fillStatus(const Service &service, LPSERVICE_STATUS status) {
    if (status == nullptr) {
        return;
    }
    *status = SERVICE_STATUS{};
    status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status->dwCurrentState = service.state;
    status->dwControlsAccepted =
        service.acceptsStop && service.state != SERVICE_STOPPED && !isPending(service.state)
            ? SERVICE_ACCEPT_STOP
            : 0;
    status->dwWaitHint = isPending(service.state) ? service.waitHint : 0;
}

bool activeDependentsRun(const Service &service) {
    for (const std::string &name : service.dependents) {
        auto dependent = manager().find(name);
        if (dependent && dependent->state != SERVICE_STOPPED) {
            return true;
        }
    }
    return false;
}

void beginStop(const std::shared_ptr<Service> &service) {
    service->state = SERVICE_STOP_PENDING;
    service->waitHint = service->stopWaitHint;
    if (service->stopDuration == kNeverStops) {
        return;
    }
    Clock &clock = kernel().clock;
    clock.schedule(clock.now() + service->stopDuration, [service] {
        if (service->state == SERVICE_STOP_PENDING) {
            service->state = SERVICE_STOPPED;
            service->waitHint = 0;
        }
    });
}

// The outcome of a control request; ERROR_SUCCESS when the service takes it.
DWORD control(const std::shared_ptr<Service> &service, DWORD code) {
    if (service->state == SERVICE_STOPPED) {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    if (service->state == SERVICE_START_PENDING || service->state == SERVICE_STOP_PENDING) {
        return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    }
    if (code == SERVICE_CONTROL_STOP) {
        if (!service->acceptsStop) {
            return ERROR_INVALID_SERVICE_CONTROL;
        }
        if (activeDependentsRun(*service)) {
            return ERROR_DEPENDENT_SERVICES_RUNNING;
        }
        beginStop(service);
    }
    return ERROR_SUCCESS;
}

// The size of the dependents listing: the records, then their texts.
DWORD listingSize(const std::vector<std::shared_ptr<Service>> &listed) {
    DWORD size = 0;
    for (const auto &service : listed) {
        size += static_cast<DWORD>(sizeof(ENUM_SERVICE_STATUSA) + service->name.size() + 1 +
                                   service->displayName.size() + 1);
    }
    return size;
}

bool matchesState(const Service &service, DWORD filter) {
    const bool active = service.state != SERVICE_STOPPED;
    return (filter & (active ? SERVICE_ACTIVE : SERVICE_INACTIVE)) != 0;
}

} // namespace
} // namespace emu

namespace win {

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD access) {
    if (machineName != nullptr && machineName[0] != '\0') {
        SetLastError(emu::kRpcServerUnavailable); // only the local machine is there
        return nullptr;
    }
    if (databaseName != nullptr && !emu::equalNoCase(databaseName, SERVICES_ACTIVE_DATABASEA)) {
        SetLastError(ERROR_DATABASE_DOES_NOT_EXIST);
        return nullptr;
    }
    if (emu::manager().refusesConnection) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    // Every caller may connect; the right comes with any opening.
    return emu::addHandle(nullptr, access | SC_MANAGER_CONNECT);
}

SC_HANDLE OpenServiceA(SC_HANDLE managerHandle, LPCSTR serviceName, DWORD access) {
    auto object = emu::objectOf(managerHandle);
    if (!object || object->service) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (serviceName == nullptr || serviceName[0] == '\0') {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    auto service = emu::manager().find(serviceName);
    if (!service) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    if ((access & service->deniedAccess) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return emu::addHandle(service, access);
}

BOOL ControlService(SC_HANDLE handle, DWORD control, LPSERVICE_STATUS status) {
    ACCESS_MASK need = 0;
    switch (control) {
    case SERVICE_CONTROL_STOP:
        need = SERVICE_STOP;
        break;
    case SERVICE_CONTROL_INTERROGATE:
        need = SERVICE_INTERROGATE;
        break;
    default:
        SetLastError(ERROR_INVALID_SERVICE_CONTROL);
        return FALSE;
    }
    auto service = emu::serviceOf(handle, need);
    if (!service) {
        return FALSE;
    }
    const DWORD error = emu::control(service, control);
    emu::services().controls.push_back(
        emu::ServiceControlRecord{service->name, control, error, emu::kernel().clock.now()});
    // Windows gives the status also with the refusals that concern the
    // service's state.
    emu::fillStatus(*service, status);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL QueryServiceStatus(SC_HANDLE handle, LPSERVICE_STATUS status) {
    auto service = emu::serviceOf(handle, SERVICE_QUERY_STATUS);
    if (!service) {
        return FALSE;
    }
    if (status == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    emu::fillStatus(*service, status);
    return TRUE;
}

BOOL EnumDependentServicesA(SC_HANDLE handle, DWORD serviceState, LPENUM_SERVICE_STATUSA services,
                            DWORD bufferSize, LPDWORD bytesNeeded, LPDWORD servicesReturned) {
    auto service = emu::serviceOf(handle, SERVICE_ENUMERATE_DEPENDENTS);
    if (!service) {
        return FALSE;
    }
    if (bytesNeeded == nullptr || servicesReturned == nullptr ||
        (serviceState & ~SERVICE_STATE_ALL) != 0 || serviceState == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::shared_ptr<emu::Service>> listed;
    for (const std::string &name : service->dependents) {
        auto dependent = emu::manager().find(name);
        if (dependent && emu::matchesState(*dependent, serviceState)) {
            listed.push_back(dependent);
        }
    }
    const DWORD size = emu::listingSize(listed);
    *servicesReturned = 0;
    if (bufferSize < size || (services == nullptr && size != 0)) {
        *bytesNeeded = size;
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    *bytesNeeded = 0;
    // The records first, their texts packed after them.
    char *text = reinterpret_cast<char *>(services + listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        ENUM_SERVICE_STATUSA &record = services[i];
        record.lpServiceName = text;
        std::memcpy(text, listed[i]->name.c_str(), listed[i]->name.size() + 1);
        text += listed[i]->name.size() + 1;
        record.lpDisplayName = text;
        std::memcpy(text, listed[i]->displayName.c_str(), listed[i]->displayName.size() + 1);
        text += listed[i]->displayName.size() + 1;
        emu::fillStatus(*listed[i], &record.ServiceStatus);
    }
    *servicesReturned = static_cast<DWORD>(listed.size());
    return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
    if (!emu::objectOf(handle) || !emu::kernel().handles.close(reinterpret_cast<HANDLE>(handle))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

} // namespace win
