// The service control manager: opening services, their status, the stop and
// interrogate controls with their refusals, and the listing of a service's
// active dependents.
#include <cstring>
#include <vector>

#include "case.h"
#include "platform/kernel.h"
#include "platform/services.h"
#include "platform/system.h"
#include "standins.h"

namespace conformance {
namespace {

constexpr const char *kBase = "RadozavuConformanceBase";
constexpr const char *kDependent = "RadozavuConformanceDependent";
constexpr const char *kStubborn = "RadozavuConformanceStubborn";
constexpr const char *kIdle = "RadozavuConformanceIdle";
constexpr DWORD kPatienceMs = 60000;

class Services : public Case {
protected:
    void SetUp() override {
        Case::SetUp();
        manager_ = win::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        ASSERT_NE(manager_, nullptr);
    }
    void TearDown() override {
        EXPECT_TRUE(win::CloseServiceHandle(manager_));
        Case::TearDown();
    }
    // The error with which a control is refused (ERROR_SUCCESS when taken)
    // and the state the status reports with it.
    struct Outcome {
        DWORD error;
        DWORD state;
    };
    Outcome control(const char *name, DWORD code, DWORD access = SERVICE_ALL_ACCESS) {
        const SC_HANDLE service = win::OpenServiceA(manager_, name, access);
        EXPECT_NE(service, nullptr) << name;
        SERVICE_STATUS status{};
        win::SetLastError(0xdeadbeef);
        const DWORD error =
            win::ControlService(service, code, &status) ? ERROR_SUCCESS : win::GetLastError();
        win::CloseServiceHandle(service);
        return {error, status.dwCurrentState};
    }
    [[nodiscard]] DWORD stateOf(const char *name) const {
        const SC_HANDLE service = win::OpenServiceA(manager_, name, SERVICE_QUERY_STATUS);
        SERVICE_STATUS status{};
        const BOOL queried = win::QueryServiceStatus(service, &status);
        win::CloseServiceHandle(service);
        return queried ? status.dwCurrentState : 0;
    }

    SC_HANDLE manager_ = nullptr;
};

TEST_F(Services, TheManagerOfThisMachineOnlyIsOpened) {
    const SC_HANDLE active = win::OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, GENERIC_READ);
    ASSERT_NE(active, nullptr);
    EXPECT_TRUE(win::CloseServiceHandle(active));
    win::SetLastError(0xdeadbeef);
    EXPECT_EQ(win::OpenSCManagerA(nullptr, "ServicesFailed", GENERIC_READ), nullptr);
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_DATABASE_DOES_NOT_EXIST});
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::CloseServiceHandle(nullptr));
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(Services, ServicesAreOpenedByNameWithoutCaseAndQueriedWithTheRight) {
    const standins::Service base(kBase, {});
    const struct {
        const char *name;
        DWORD error; // ERROR_SUCCESS: opened
    } opens[] = {
        {kBase, ERROR_SUCCESS},
        {"radozavuconformancebase", ERROR_SUCCESS},
        {"RadozavuConformanceMissing", ERROR_SERVICE_DOES_NOT_EXIST},
        {"", ERROR_INVALID_NAME},
    };
    for (const auto &open : opens) {
        SCOPED_TRACE(open.name);
        win::SetLastError(0xdeadbeef);
        const SC_HANDLE service = win::OpenServiceA(manager_, open.name, SERVICE_QUERY_STATUS);
        EXPECT_EQ(service != nullptr, open.error == ERROR_SUCCESS);
        if (service == nullptr) {
            EXPECT_EQ(win::GetLastError(), open.error);
            continue;
        }
        SERVICE_STATUS status{};
        EXPECT_TRUE(win::QueryServiceStatus(service, &status));
        EXPECT_EQ(status.dwCurrentState, DWORD{SERVICE_RUNNING});
        EXPECT_NE(status.dwControlsAccepted & SERVICE_ACCEPT_STOP, 0u);
        EXPECT_TRUE(win::CloseServiceHandle(service));
    }
    // A handle without the right to query its status.
    const SC_HANDLE interrogate = win::OpenServiceA(manager_, kBase, SERVICE_INTERROGATE);
    ASSERT_NE(interrogate, nullptr);
    SERVICE_STATUS status{};
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::QueryServiceStatus(interrogate, &status));
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_TRUE(win::CloseServiceHandle(interrogate));
}

TEST_F(Services, ControlsAreTakenOrRefusedByTheServiceState) {
    const standins::Service stubborn(kStubborn, {.refuseStop = true});
    const standins::Service idle(kIdle, {.started = false});
    const standins::Service base(kBase, {});
    EXPECT_EQ(control(kIdle, SERVICE_CONTROL_INTERROGATE).error, DWORD{ERROR_SERVICE_NOT_ACTIVE});
    EXPECT_EQ(control(kStubborn, SERVICE_CONTROL_INTERROGATE).error, DWORD{ERROR_SUCCESS});
    const Outcome refused = control(kStubborn, SERVICE_CONTROL_STOP);
    EXPECT_EQ(refused.error, DWORD{ERROR_INVALID_SERVICE_CONTROL});
    if (knownWineDifference("ControlService gives no status with a refused control")) {
        // Its service manager sends back whatever its reply held: nothing in
        // a 32-bit prefix, leftovers that change from run to run in a 64-bit
        // one. Either way no state.
        EXPECT_FALSE(refused.state >= SERVICE_STOPPED && refused.state <= SERVICE_PAUSED)
            << refused.state;
    } else {
        EXPECT_EQ(refused.state, DWORD{SERVICE_RUNNING}) << "the status comes with the refusal";
    }
    EXPECT_EQ(control(kBase, SERVICE_CONTROL_STOP, SERVICE_QUERY_STATUS).error,
              DWORD{ERROR_ACCESS_DENIED});

    const Outcome stopping = control(kBase, SERVICE_CONTROL_STOP);
    EXPECT_EQ(stopping.error, DWORD{ERROR_SUCCESS});
    EXPECT_TRUE(stopping.state == SERVICE_STOP_PENDING || stopping.state == SERVICE_STOPPED)
        << stopping.state;
    for (const DWORD start = win::GetTickCount();
         stateOf(kBase) != SERVICE_STOPPED && win::GetTickCount() - start < kPatienceMs;) {
        win::Sleep(20);
    }
    EXPECT_EQ(stateOf(kBase), DWORD{SERVICE_STOPPED});
}

TEST_F(Services, ActiveDependentsAreListedWithTheSizeTheyNeed) {
    const standins::Service base(kBase, {});
    const standins::Service dependent(kDependent, {.dependsOn = kBase});
    const standins::Service idle(kIdle, {.started = false, .dependsOn = kBase});
    const SC_HANDLE service = win::OpenServiceA(manager_, kBase, SERVICE_ENUMERATE_DEPENDENTS);
    ASSERT_NE(service, nullptr);
    DWORD needed = 0xdeadbeef;
    DWORD count = 0xdeadbeef;
    win::SetLastError(0xdeadbeef);
    const BOOL empty =
        win::EnumDependentServicesA(service, SERVICE_ACTIVE, nullptr, 0, &needed, &count);
    if (knownWineDifference("EnumDependentServicesA is a stub that lists no dependents")) {
        EXPECT_TRUE(empty);
        EXPECT_EQ(count, 0u);
    } else {
        EXPECT_FALSE(empty);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_MORE_DATA});
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(needed, sizeof(ENUM_SERVICE_STATUSA) + 2 * (std::strlen(kDependent) + 1));
        std::vector<char> buffer(needed, kJunk);
        auto *listed = reinterpret_cast<ENUM_SERVICE_STATUSA *>(buffer.data());
        ASSERT_TRUE(
            win::EnumDependentServicesA(service, SERVICE_ACTIVE, listed, needed, &needed, &count));
        ASSERT_EQ(count, 1u);
        EXPECT_STREQ(listed[0].lpServiceName, kDependent);
        EXPECT_STREQ(listed[0].lpDisplayName, kDependent);
        EXPECT_EQ(listed[0].ServiceStatus.dwCurrentState, DWORD{SERVICE_RUNNING});
        // A base with a running dependent refuses to stop.
        EXPECT_EQ(control(kBase, SERVICE_CONTROL_STOP).error,
                  DWORD{ERROR_DEPENDENT_SERVICES_RUNNING});
    }
    EXPECT_TRUE(win::CloseServiceHandle(service));
}

} // namespace
} // namespace conformance
