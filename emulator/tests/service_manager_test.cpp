// The emulated service control manager: Windows' refusals, access rules and
// the layout of its dependents listing. Linux-only: the services, their
// states and dependents are set up through the machine's control interface
// (conformance/services_test.cpp: both platforms).
#include <gtest/gtest.h>

#include <cstring>

#include "base/handles.h"
#include "platform/services.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace {

class ServiceManager : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        manager_.reset(win::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
        ASSERT_TRUE(manager_);
    }
    void TearDown() override {
        manager_.reset();
        MachineTest::TearDown();
    }
    handles::UniqueServiceHandle open(const char *name, ACCESS_MASK access) {
        return handles::UniqueServiceHandle(win::OpenServiceA(manager_.get(), name, access));
    }
    // The error with which a control is refused, ERROR_SUCCESS if taken.
    DWORD control(const char *name, DWORD code) {
        auto service = open(name, SERVICE_ALL_ACCESS);
        SERVICE_STATUS status{};
        return win::ControlService(service.get(), code, &status) ? ERROR_SUCCESS
                                                                 : win::GetLastError();
    }

    handles::UniqueServiceHandle manager_;
};

TEST_F(ServiceManager, ControlsAreRefusedAsWindowsRefusesThem) {
    machine().services.add("Stopped", SERVICE_STOPPED);
    machine().services.add("Starting", SERVICE_START_PENDING);
    machine().services.add("Stopping", SERVICE_STOP_PENDING);
    machine().services.add("Stubborn").acceptsStop = false;
    machine().services.add("Base").dependents = {"Child"};
    machine().services.add("Child");

    EXPECT_EQ(control("Stopped", SERVICE_CONTROL_INTERROGATE), ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_EQ(control("Starting", SERVICE_CONTROL_STOP), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    EXPECT_EQ(control("Stopping", SERVICE_CONTROL_INTERROGATE), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    EXPECT_EQ(control("Stubborn", SERVICE_CONTROL_INTERROGATE), ERROR_SUCCESS);
    EXPECT_EQ(control("Stubborn", SERVICE_CONTROL_STOP), ERROR_INVALID_SERVICE_CONTROL);
    EXPECT_EQ(control("Base", SERVICE_CONTROL_STOP), ERROR_DEPENDENT_SERVICES_RUNNING);
    EXPECT_EQ(control("Child", SERVICE_CONTROL_STOP), ERROR_SUCCESS);
    EXPECT_EQ(control("Base", SERVICE_CONTROL_STOP), ERROR_SUCCESS);

    auto queryOnly = open("Base", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    EXPECT_FALSE(win::ControlService(queryOnly.get(), SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(win::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(open("Missing", SERVICE_QUERY_STATUS));
    EXPECT_EQ(win::GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_EQ(win::OpenSCManagerA(nullptr, "ServicesFailed", GENERIC_READ), nullptr);
    EXPECT_EQ(win::GetLastError(), ERROR_DATABASE_DOES_NOT_EXIST);
}

TEST_F(ServiceManager, DependentsAreListedActiveOnlyInTheirOrder) {
    machine().services.add("Base").dependents = {"Beta", "Idle", "Alpha", "Gone"};
    machine().services.add("Alpha").displayName = "Alpha Service";
    machine().services.add("Beta");
    machine().services.add("Idle", SERVICE_STOPPED);
    auto base = open("Base", SERVICE_ENUMERATE_DEPENDENTS);

    DWORD needed = 0;
    DWORD count = 99;
    EXPECT_FALSE(
        win::EnumDependentServicesA(base.get(), SERVICE_ACTIVE, nullptr, 0, &needed, &count));
    EXPECT_EQ(win::GetLastError(), ERROR_MORE_DATA);
    EXPECT_EQ(needed, 2 * sizeof(ENUM_SERVICE_STATUSA) + sizeof "Beta" * 2 + sizeof "Alpha" +
                          sizeof "Alpha Service");
    EXPECT_EQ(count, 0u);
    std::vector<char> buffer(needed);
    auto *listed = reinterpret_cast<ENUM_SERVICE_STATUSA *>(buffer.data());
    EXPECT_FALSE(win::EnumDependentServicesA(base.get(), SERVICE_ACTIVE, listed, needed - 1,
                                             &needed, &count));
    ASSERT_TRUE(
        win::EnumDependentServicesA(base.get(), SERVICE_ACTIVE, listed, needed, &needed, &count));
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(listed[0].lpServiceName, "Beta");
    EXPECT_STREQ(listed[1].lpServiceName, "Alpha");
    EXPECT_STREQ(listed[1].lpDisplayName, "Alpha Service");
    EXPECT_EQ(listed[1].ServiceStatus.dwCurrentState, SERVICE_RUNNING);
    // Every text lies inside the buffer.
    EXPECT_LE(listed[1].lpDisplayName + sizeof "Alpha Service", buffer.data() + buffer.size());

    machine().services.find("Alpha")->state = SERVICE_STOPPED;
    machine().services.find("Beta")->state = SERVICE_STOPPED;
    EXPECT_TRUE(
        win::EnumDependentServicesA(base.get(), SERVICE_ACTIVE, nullptr, 0, &needed, &count));
    EXPECT_EQ(count, 0u);
}

} // namespace
