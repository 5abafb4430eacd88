// Stand-in of the product's server services for the Wine tests: an
// own-process service that a test registers with Wine's service control
// manager, starts, and deletes afterwards. Its command line:
//   service_standin.exe <service name> <record file> <stop behaviour>
// Stop behaviours:
//   prompt   stops as soon as it is asked
//   slow     reports STOP_PENDING with a wait hint, moves its check point on
//            three times, 300 ms apart, then stops
//   refuse   does not accept the stop control at all
//   stuck    reports STOP_PENDING with a wait hint of 100 seconds and stays so
// Whatever its behaviour, the service stops once the manual-reset event
// "RadozavuServiceStandInRelease" is set: that is how a test ends what it
// started. The record file gets a line for each step, "running",
// "stop-requested" and "stopped", each with the performance counter at that
// moment (one clock for all processes of the machine), so a test can tell in
// which order services were stopped.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kReleaseEvent = "RadozavuServiceStandInRelease";
constexpr DWORD kPromptWaitHintMs = 100;
constexpr DWORD kSlowWaitHintMs = 500;
constexpr DWORD kSlowStepMs = 300;
constexpr DWORD kSlowSteps = 3;
constexpr DWORD kStuckWaitHintMs = 100000;

enum class Behaviour { Prompt, Slow, Refuse, Stuck };

char *serviceName = nullptr;
const char *recordFile = nullptr;
Behaviour behaviour = Behaviour::Prompt;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{};
HANDLE stopAsked = nullptr; // set by the control handler for prompt and slow stops

void record(const char *step) {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    char line[96];
    const int length =
        std::snprintf(line, sizeof line, "%s %lld\r\n", step, static_cast<long long>(now.QuadPart));
    HANDLE file = CreateFileA(recordFile, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
        CloseHandle(file);
    }
}

void report(DWORD state, DWORD checkPoint, DWORD waitHint) {
    status.dwCurrentState = state;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI controlHandler(DWORD control, DWORD, void *, void *) {
    switch (control) {
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    case SERVICE_CONTROL_STOP:
        record("stop-requested");
        if (behaviour == Behaviour::Stuck) {
            report(SERVICE_STOP_PENDING, 1, kStuckWaitHintMs);
        } else {
            report(SERVICE_STOP_PENDING, 1,
                   behaviour == Behaviour::Slow ? kSlowWaitHintMs : kPromptWaitHintMs);
            SetEvent(stopAsked);
        }
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI serviceMain(DWORD, LPSTR *) {
    statusHandle = RegisterServiceCtrlHandlerExA(serviceName, controlHandler, nullptr);
    if (statusHandle == nullptr) {
        return;
    }
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
    stopAsked = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwControlsAccepted = behaviour == Behaviour::Refuse ? 0 : SERVICE_ACCEPT_STOP;
    record("running");
    report(SERVICE_RUNNING, 0, 0);

    const HANDLE events[] = {stopAsked, release};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 &&
        behaviour == Behaviour::Slow) {
        for (DWORD step = 1; step <= kSlowSteps; ++step) {
            Sleep(kSlowStepMs);
            report(SERVICE_STOP_PENDING, 1 + step, kSlowWaitHintMs);
        }
    }
    record("stopped");
    status.dwControlsAccepted = 0;
    report(SERVICE_STOPPED, 0, 0);
    CloseHandle(stopAsked);
    CloseHandle(release);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        return 2;
    }
    serviceName = argv[1];
    recordFile = argv[2];
    if (std::strcmp(argv[3], "slow") == 0) {
        behaviour = Behaviour::Slow;
    } else if (std::strcmp(argv[3], "refuse") == 0) {
        behaviour = Behaviour::Refuse;
    } else if (std::strcmp(argv[3], "stuck") == 0) {
        behaviour = Behaviour::Stuck;
    } else if (std::strcmp(argv[3], "prompt") != 0) {
        return 2;
    }
    SERVICE_TABLE_ENTRYA table[] = {{serviceName, serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
