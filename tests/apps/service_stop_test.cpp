// Testing and stopping services: dependents first, one time budget, failures
// shown in the system error box.
#include <gtest/gtest.h>

#include "apps/service_control.h"
#include "base/handles.h"
#include "platform/services.h"
#include "platform/user.h"
#include "support/machine_test.h"

namespace {

class ServiceStop : public MachineTest {
protected:
    static emu::ServiceManager &scm() { return machine().services; }
    static std::uint64_t now() { return machine().kernel.clock.now(); }

    // A service that, asked to stop, is stop-pending for duration ms.
    static emu::Service &addService(const std::string &name, std::uint64_t duration = 0,
                                    DWORD waitHint = 0) {
        emu::Service &service = scm().add(name);
        service.stopDuration = duration;
        service.stopWaitHint = waitHint;
        return service;
    }
    static DWORD state(const std::string &name) { return scm().find(name)->state; }
    static const std::vector<emu::MessageBoxRecord> &boxes() {
        return machine().processes.user.messageBoxes;
    }
    // The error box as the system error box shows a code: the system's text
    // without its line end, the code in parentheses.
    static void expectErrorBox(const std::string &text) {
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].text, text);
        EXPECT_EQ(boxes()[0].caption, "Brevanta");
        EXPECT_EQ(boxes()[0].owner, nullptr);
        EXPECT_EQ(boxes()[0].style, MB_OK);
    }
};

TEST_F(ServiceStop, RunningTestCountsEveryInterrogatedStateButStopped) {
    scm().add("Running");
    scm().add("Paused", SERVICE_PAUSED);
    scm().add("Stopped", SERVICE_STOPPED);
    // The manager refuses to interrogate a service that is stopping.
    scm().add("Stopping", SERVICE_STOP_PENDING);
    scm().add("Locked").deniedAccess = SERVICE_INTERROGATE;

    EXPECT_TRUE(apps::IsServiceRunning("Running"));
    EXPECT_TRUE(apps::IsServiceRunning("paused"));
    EXPECT_FALSE(apps::IsServiceRunning("Stopped"));
    EXPECT_FALSE(apps::IsServiceRunning("Stopping"));
    EXPECT_FALSE(apps::IsServiceRunning("Locked"));
    EXPECT_FALSE(apps::IsServiceRunning("Missing"));
    scm().refusesConnection = true;
    EXPECT_FALSE(apps::IsServiceRunning("Running"));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ServiceStop, StoppedServiceIsLeftAloneWithItsDependents) {
    emu::Service &main = addService("Main");
    main.dependents = {"Child"};
    main.state = SERVICE_STOPPED;
    addService("Child");
    apps::StopServiceByName("Main");
    EXPECT_TRUE(scm().controls.empty());
    EXPECT_EQ(state("Child"), SERVICE_RUNNING);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ServiceStop, PendingStopIsAwaitedWithoutANewRequest) {
    emu::Service &main = addService("Main");
    main.dependents = {"Child"};
    main.state = SERVICE_STOP_PENDING;
    main.waitHint = 500;
    addService("Child");
    const std::uint64_t start = now();
    machine().kernel.clock.schedule(start + 1200, [&main] { main.state = SERVICE_STOPPED; });

    apps::StopServiceByName("Main");
    EXPECT_EQ(now() - start, 1500u); // three sleeps of the wait hint
    EXPECT_TRUE(scm().controls.empty());
    EXPECT_EQ(state("Child"), SERVICE_RUNNING);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ServiceStop, ActiveDependentsStopFirstInTheManagersOrder) {
    addService("Main", 200, 100).dependents = {"Second", "Idle", "First"};
    addService("Second", 300, 100);
    addService("First");
    addService("Idle").state = SERVICE_STOPPED;

    apps::StopServiceByName("Main");
    EXPECT_EQ(scm().controlled(SERVICE_CONTROL_STOP),
              (std::vector<std::string>{"Second", "First", "Main"}));
    for (const auto &record : scm().controls) {
        EXPECT_EQ(record.error, ERROR_SUCCESS) << record.service;
    }
    EXPECT_EQ(state("Main"), SERVICE_STOPPED);
    EXPECT_TRUE(boxes().empty());

    // Without active dependents only the service itself is asked.
    scm().controls.clear();
    addService("Lone").dependents = {"Idle"};
    apps::StopServiceByName("Lone");
    EXPECT_EQ(scm().controlled(SERVICE_CONTROL_STOP), std::vector<std::string>{"Lone"});
}

TEST_F(ServiceStop, FailuresAreShownWithTheSystemTextAndCode) {
    apps::StopServiceByName("Missing");
    expectErrorBox("The specified service does not exist as an installed service.(1060)");

    machine().processes.user.messageBoxes.clear();
    addService("Stubborn").acceptsStop = false;
    const std::uint64_t start = now();
    apps::StopServiceByName("Stubborn");
    expectErrorBox("The requested control is not valid for this service.(1052)");
    EXPECT_EQ(now(), start); // refused at once, no waiting

    machine().processes.user.messageBoxes.clear();
    scm().refusesConnection = true;
    apps::StopServiceByName("Stubborn");
    expectErrorBox("Access is denied.(5)");
}

TEST_F(ServiceStop, DependentThatCannotBeOpenedLeavesTheServiceRunning) {
    addService("Main").dependents = {"Free", "Guarded"};
    addService("Free");
    addService("Guarded").deniedAccess = SERVICE_STOP;
    apps::StopServiceByName("Main");
    expectErrorBox("Access is denied.(5)");
    EXPECT_EQ(scm().controlled(SERVICE_CONTROL_STOP), std::vector<std::string>{"Free"});
    EXPECT_EQ(state("Main"), SERVICE_RUNNING);
}

TEST_F(ServiceStop, OneBudgetOf60000MsCoversTheServiceAndItsDependents) {
    // Each alone would make it; together they take longer than the budget.
    addService("Main", 30000, 1000).dependents = {"Child"};
    addService("Child", 40000, 1000);
    const std::uint64_t start = now();
    apps::StopServiceByName("Main");
    expectErrorBox("This operation returned because the timeout period expired.(1460)");
    EXPECT_GT(now() - start, 60000u);
    EXPECT_LE(now() - start, 61000u);
    EXPECT_EQ(state("Child"), SERVICE_STOPPED);

    // Finishing just inside the budget is a success.
    machine().processes.user.messageBoxes.clear();
    addService("Quick", 29000, 1000).dependents = {"QuickChild"};
    addService("QuickChild", 30000, 1000);
    apps::StopServiceByName("Quick");
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(state("Quick"), SERVICE_STOPPED);
}

TEST_F(ServiceStop, WaitHintsNeitherOutlastTheBudgetNorStallPolling) {
    // A hint of 49 days cannot hold setup past the budget.
    addService("Hanging", emu::kNeverStops, 0xFFFFFFFF);
    const std::uint64_t start = now();
    apps::StopServiceByName("Hanging");
    expectErrorBox("This operation returned because the timeout period expired.(1460)");
    EXPECT_LE(now() - start, 60001u);

    // A hint of 0 polls without pause until the service is stopped.
    machine().processes.user.messageBoxes.clear();
    addService("Eager", 50, 0);
    apps::StopServiceByName("Eager");
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(state("Eager"), SERVICE_STOPPED);
}

TEST_F(ServiceStop, BudgetHoldsAcrossTheTickCountWrapAround) {
    machine().kernel.clock.advance(0xFFFFFFFFull - now() - 2000); // 2 s before the wrap
    addService("Main", 5000, 1000);
    apps::StopServiceByName("Main");
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(state("Main"), SERVICE_STOPPED);
}

TEST_F(ServiceStop, ExhaustedHeapStopsNothingAndSaysSo) {
    addService("Main").dependents = {"Child"};
    addService("Child");
    machine().processes.heapExhausted = true;
    apps::StopServiceByName("Main");
    expectErrorBox("Not enough storage is available to process this command.(8)");
    EXPECT_TRUE(scm().controls.empty());
}

TEST_F(ServiceStop, WaitCursorStaysUpWhileTheErrorIsShown) {
    HCURSOR during = nullptr;
    machine().processes.user.responder = [&during](const emu::MessageBoxRecord &) {
        during = machine().processes.user.cursor;
        return IDOK;
    };
    const HCURSOR before = machine().processes.user.cursor;
    apps::StopServiceByName("Missing");
    EXPECT_EQ(during, win::LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_EQ(machine().processes.user.cursor, before);
}

TEST_F(ServiceStop, StopWithoutDependentsFirstReportsTheManagersRefusal) {
    addService("Main").dependents = {"Child"};
    addService("Child");
    handles::UniqueServiceHandle manager(win::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    handles::UniqueServiceHandle service(
        win::OpenServiceA(manager.get(), "Main", SERVICE_STOP | SERVICE_QUERY_STATUS));
    EXPECT_EQ(apps::StopServiceAndDependents(manager.get(), service.get(), false, 60000),
              ERROR_DEPENDENT_SERVICES_RUNNING);
    // Asked to stop dependents through a handle that may not list them.
    EXPECT_EQ(apps::StopServiceAndDependents(manager.get(), service.get(), true, 60000),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(state("Child"), SERVICE_RUNNING);
}

} // namespace
