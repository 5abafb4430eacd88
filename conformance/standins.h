// What the cases of programs, windows, services, message boxes, string
// resources and the end of Windows need beside the scratch folder and key:
// stand-ins of the product's programs, sibling library and services, a string
// table, and a user who answers boxes and refuses to let the session end.
// Each has one part per platform: standins_emulated.cpp gives the emulated
// machine the same behaviour that standins_windows.cpp gets from the real
// stand-in programs built beside the suite (tests/wine/programs/).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"

namespace conformance::standins {

// The stand-in of the product's programs, as a machine path. Started with
// window titles as its arguments, it shows a top-level window of each title
// (of class kProgramClass), closes a window on WM_CLOSE and on the exit
// request kExitRequest, and ends once its windows are closed. Started
// without titles it runs until it is ended.
std::string programFile();
inline constexpr const char *kProgramClass = "RadozavuProgramStandIn";
inline constexpr UINT kExitRequest = 0x101D;
// After the stand-in started as the process processId: true once its windows
// of these titles are there.
bool showsWindows(DWORD processId, const std::vector<std::string> &titles);

// The stand-in program started for one case with these window titles, its
// windows shown; ended and its handles closed when it goes.
class Program {
public:
    explicit Program(const std::vector<std::string> &titles = {});
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;
    [[nodiscard]] bool shown() const { return shown_; }
    [[nodiscard]] HANDLE process() const { return started_.hProcess; }
    [[nodiscard]] DWORD id() const { return started_.dwProcessId; }

private:
    PROCESS_INFORMATION started_{};
    bool shown_ = false;
};

// The stand-in of the sibling library ZepProj.dll, as a machine path: it
// exports "HKPopulateWriteMonitorPaths".
std::string libraryFile();

// The stand-in of Rezedev.dll that imports the stand-in library
// kImportedLibrary, which lies beside it in a folder of their own (not the
// suite's): its machine path. Once loaded it stays for the run.
inline constexpr const char *kImportedLibrary = "ZepShared.dll";
std::string importingLibrary();

// A string table of a module, as the machine's own modules carry one.
inline constexpr UINT kFirstString = 408;  // "Setup"
inline constexpr UINT kSecondString = 433; // "Pick a folder"
HINSTANCE stringModule();

// A service installed, and started unless told otherwise, for one case, and
// removed again when it goes. It takes the stop control unless refuseStop.
struct ServiceOptions {
    bool started = true;
    bool refuseStop = false;
    const char *dependsOn = nullptr; // the service it depends on
};
class Service {
public:
    Service(const char *name, ServiceOptions options);
    ~Service();
    Service(const Service &) = delete;
    Service &operator=(const Service &) = delete;
    struct State;

private:
    std::unique_ptr<State> state_;
};

// The user answers the next message box of a title with OK; text() is what
// it showed ("" when no box came).
class BoxAnswer {
public:
    explicit BoxAnswer(const std::string &title);
    ~BoxAnswer();
    BoxAnswer(const BoxAnswer &) = delete;
    BoxAnswer &operator=(const BoxAnswer &) = delete;
    std::string text();
    struct State;

private:
    std::unique_ptr<State> state_;
};

// A window of the user's that refuses to let the session end while it
// stands, so that no request to end Windows is carried out: asked() tells
// whether the session was asked to end (waiting a while for the question).
class SessionGuard {
public:
    SessionGuard();
    ~SessionGuard();
    SessionGuard(const SessionGuard &) = delete;
    SessionGuard &operator=(const SessionGuard &) = delete;
    bool asked();
    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace conformance::standins
