// The server services of the real DLL against Wine's service control
// manager, in a Wine prefix of its own (this program gets one from
// run-under-wine.sh): stand-in services are registered as "QLNSyncServer50"
// with two dependents and as "QLNAlert50", started, stopped by the exports,
// and deleted again. Each service writes the moments it was asked to stop and
// stopped to a file of its own, so the order of the stops is seen from the
// services themselves.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "wine_support.h"

namespace {

constexpr const char *kSyncServer = "QLNSyncServer50";
constexpr const char *kAlert = "QLNAlert50";
constexpr const char *kDependents[] = {"QLNSyncReplica50", "QLNSyncIndexer50"};
constexpr const char *kReleaseEvent = "RadozavuServiceStandInRelease";
constexpr const char *kErrorBoxTitle = "Brevanta";

// The performance counter, the clock the stand-in services stamp their
// steps with.
long long now() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

long long millisecondsBetween(long long from, long long to) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return (to - from) * 1000 / frequency.QuadPart;
}

// The system's text for an error code as the system error box shows it:
// without its closing line break.
std::string systemText(DWORD code) {
    char *text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char *>(&text), 0,
                   nullptr);
    std::string result = text != nullptr ? text : "";
    LocalFree(text);
    if (result.size() >= 2) {
        result.resize(result.size() - 2);
    }
    return result;
}

// A stand-in service registered for one test: created with its stop
// behaviour on its command line, stopped through the release event and
// deleted when the test is done.
class StandInService {
public:
    StandInService(SC_HANDLE manager, const char *name, const char *behaviour,
                   const char *dependsOn = nullptr)
        : name_(name), record_(wine::freshFolder("services") + name + ".txt") {
        DeleteFileA(record_.c_str());
        const std::string commandLine =
            wine::besideProgram("service_standin.exe", name_ + " " + record_ + " " + behaviour);
        std::string dependencies = dependsOn != nullptr ? dependsOn : "";
        dependencies.push_back('\0'); // a list of names, closed by an empty one
        service_ = CreateServiceA(
            manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
            SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, commandLine.c_str(), nullptr, nullptr,
            dependsOn != nullptr ? dependencies.c_str() : nullptr, nullptr, nullptr);
        EXPECT_NE(service_, nullptr) << name << ": " << GetLastError();
    }
    ~StandInService() {
        if (service_ == nullptr) {
            return;
        }
        EXPECT_TRUE(waitFor(SERVICE_STOPPED)) << name_ << " did not stop when released";
        DeleteService(service_);
        CloseServiceHandle(service_);
    }
    StandInService(const StandInService &) = delete;
    StandInService &operator=(const StandInService &) = delete;

    [[nodiscard]] SC_HANDLE handle() const { return service_; }

    bool start() { return StartServiceA(service_, 0, nullptr) && waitFor(SERVICE_RUNNING); }

    [[nodiscard]] DWORD state() const {
        SERVICE_STATUS status{};
        return QueryServiceStatus(service_, &status) ? status.dwCurrentState : 0;
    }

    bool waitFor(DWORD wanted) const {
        for (const DWORD start = GetTickCount(); GetTickCount() - start < wine::kPatienceMs;) {
            if (state() == wanted) {
                return true;
            }
            Sleep(20);
        }
        return false;
    }

    // When the service took each step, by the step's name; absent when it
    // did not take it.
    [[nodiscard]] std::map<std::string, long long> steps() const {
        std::map<std::string, long long> taken;
        std::istringstream lines(wine::readFile(record_));
        std::string step;
        long long at = 0;
        while (lines >> step >> at) {
            taken.emplace(step, at);
        }
        return taken;
    }

private:
    std::string name_;
    std::string record_;
    SC_HANDLE service_ = nullptr;
};

class WineServerServices : public ::testing::Test {
protected:
    void SetUp() override {
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager_, nullptr);
        release_ = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
        ResetEvent(release_);
    }
    void TearDown() override {
        // Every stand-in stops once released; each is then deleted.
        SetEvent(release_);
        services_.clear();
        CloseHandle(release_);
        CloseServiceHandle(manager_);
    }

    StandInService &add(const char *name, const char *behaviour, const char *dependsOn = nullptr) {
        services_.push_back(std::make_unique<StandInService>(manager_, name, behaviour, dependsOn));
        return *services_.back();
    }

    // The dependents of a service that the system lists as active.
    std::vector<std::string> listedDependents(SC_HANDLE service) const {
        std::vector<std::string> names;
        alignas(ENUM_SERVICE_STATUSA) BYTE buffer[4096];
        DWORD needed = 0;
        DWORD count = 0;
        auto *entries = reinterpret_cast<ENUM_SERVICE_STATUSA *>(buffer);
        if (EnumDependentServicesA(service, SERVICE_ACTIVE, entries, sizeof buffer, &needed,
                                   &count)) {
            for (DWORD i = 0; i < count; ++i) {
                names.emplace_back(entries[i].lpServiceName);
            }
        }
        return names;
    }

    wine::Library library;
    decltype(&::HKSetupAreThereAnyRunningServerApps) anyRunning =
        library->HKSetupAreThereAnyRunningServerApps;
    decltype(&::HKSetupStopRunningServerApps) stopRunning = library->HKSetupStopRunningServerApps;

private:
    SC_HANDLE manager_ = nullptr;
    HANDLE release_ = nullptr;
    std::vector<std::unique_ptr<StandInService>> services_;
};

TEST_F(WineServerServices, OnlyAServiceThatRunsAndAnswersCountsAsRunning) {
    StandInService &syncServer = add(kSyncServer, "stuck");
    StandInService &alert = add(kAlert, "prompt");
    EXPECT_EQ(anyRunning(nullptr), 0); // both registered, neither started

    ASSERT_TRUE(alert.start());
    EXPECT_EQ(anyRunning(nullptr), 1); // one of the two is enough
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(alert.handle(), SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(alert.waitFor(SERVICE_STOPPED));
    EXPECT_EQ(anyRunning(nullptr), 0);

    // A service on its way down cannot be interrogated: it reads as not
    // running.
    ASSERT_TRUE(syncServer.start());
    EXPECT_EQ(anyRunning(nullptr), 1);
    ASSERT_TRUE(ControlService(syncServer.handle(), SERVICE_CONTROL_STOP, &status));
    ASSERT_EQ(syncServer.state(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(anyRunning(nullptr), 0);
}

TEST_F(WineServerServices, SlowStopIsWaitedForAndARefusedStopIsShownWithTheSystemsText) {
    StandInService &syncServer = add(kSyncServer, "slow");
    StandInService &firstDependent = add(kDependents[0], "prompt", kSyncServer);
    StandInService &secondDependent = add(kDependents[1], "prompt", kSyncServer);
    StandInService &alert = add(kAlert, "refuse");
    for (StandInService *service : {&syncServer, &firstDependent, &secondDependent, &alert}) {
        ASSERT_TRUE(service->start());
    }
    const std::vector<std::string> listed = listedDependents(syncServer.handle());
    EXPECT_EQ(anyRunning(nullptr), 1);

    long long boxShownAt = 0;
    wine::BoxWatcher watcher(
        kErrorBoxTitle, [&boxShownAt] { boxShownAt = now(); }, 30000);
    const long long calledAt = now();
    EXPECT_EQ(stopRunning(nullptr), 0);
    const long long returnedAt = now();
    const wine::SeenBox box = watcher.wait();

    // The synchronization server was waited for until it had stopped.
    const auto syncSteps = syncServer.steps();
    ASSERT_TRUE(syncSteps.count("stop-requested") && syncSteps.count("stopped"));
    EXPECT_EQ(syncServer.state(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_GE(syncSteps.at("stop-requested"), calledAt);
    EXPECT_GE(millisecondsBetween(syncSteps.at("stop-requested"), syncSteps.at("stopped")), 900);
    EXPECT_LT(syncSteps.at("stopped"), returnedAt);

    // The alert service does not accept the stop: the manager refuses it at
    // once, the service never hears of it, and the box tells why.
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.answered, 1);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_FALSE(systemText(ERROR_INVALID_SERVICE_CONTROL).empty());
    EXPECT_EQ(box.text, systemText(ERROR_INVALID_SERVICE_CONTROL) + "(1052)");
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_GT(boxShownAt, syncSteps.at("stopped")); // the services in their order
    EXPECT_EQ(alert.state(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(alert.steps().count("stop-requested"), 0u);
    EXPECT_EQ(anyRunning(nullptr), 1);

    // Dependents are stopped first, as the system lists them. Wine 8 lists
    // none (its EnumDependentServicesA is a stub) and lets a service stop
    // under running dependents; the listing and its order are proven on the
    // emulated machine.
    for (StandInService *dependent : {&firstDependent, &secondDependent}) {
        const auto steps = dependent->steps();
        if (listed.empty()) {
            EXPECT_EQ(dependent->state(), static_cast<DWORD>(SERVICE_RUNNING));
            EXPECT_EQ(steps.count("stop-requested"), 0u);
        } else {
            ASSERT_TRUE(steps.count("stopped"));
            EXPECT_LT(steps.at("stopped"), syncSteps.at("stop-requested"));
        }
    }
    EXPECT_TRUE(listed.empty() || listed.size() == 2) << listed.size();
}

// A service that stays in STOP_PENDING with a wait hint of 100 seconds is
// given up after the 60-second budget, not after its hint.
TEST_F(WineServerServices, StopOutlastingTheBudgetEndsInTheTimeoutBox) {
    StandInService &syncServer = add(kSyncServer, "stuck");
    add(kAlert, "prompt");
    ASSERT_TRUE(syncServer.start());

    wine::BoxWatcher watcher(kErrorBoxTitle, 150000);
    const DWORD start = GetTickCount();
    EXPECT_EQ(stopRunning(nullptr), 0);
    const DWORD elapsed = GetTickCount() - start;
    const wine::SeenBox box = watcher.wait();

    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.answered, 1);
    EXPECT_FALSE(systemText(ERROR_TIMEOUT).empty());
    EXPECT_EQ(box.text, systemText(ERROR_TIMEOUT) + "(1460)");
    // Not before the budget; the upper bound, short of the 100 s hint, has
    // room for a loaded machine.
    EXPECT_GE(elapsed, 60000u);
    EXPECT_LT(elapsed, 95000u);
    EXPECT_EQ(syncServer.state(), static_cast<DWORD>(SERVICE_STOP_PENDING));
}

} // namespace
