// The control interface of the emulated Windows machine: tests and the
// command-line host build a machine here, fault it and read its journal.
// It is no part of the library's exports and does not exist on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/emulated/case_less.h"
#include "platform/emulated/registry_store.h"
// Logging and restart.
#include "platform/emulated/calendar.h"
#include "platform/emulated/file_faults.h"
#include "platform/emulated/shutdown_state.h"
#include "platform/emulated/stand_in_windows.h"
#include "platform/types.h"

namespace emu {

// Drive types, as GetDriveTypeA reports them.
enum DriveType : UINT {
    DriveUnknown = 0,
    DriveNoRootDir = 1,
    DriveRemovable = 2,
    DriveFixed = 3,
    DriveRemote = 4,
    DriveCdrom = 5,
    DriveRamdisk = 6,
};

struct Drive {
    std::string hostFolder; // the host folder that holds the drive's files
    UINT type = DriveFixed;
};

struct VersionInfo {
    DWORD platform = VER_PLATFORM_WIN32_NT;
    DWORD major = 5;
    DWORD minor = 1;
    DWORD build = 2600;
    std::string servicePack = "Service Pack 2";
    bool queryFails = false; // GetVersionExA reports failure
};

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT style = 0;
    int answer = IDOK;
};

// The user in front of the machine: message boxes are journalled and
// answered by the responder, which may also change the machine (the user
// closes a program, then presses OK).
struct User {
    std::vector<MessageBoxRecord> messageBoxes;
    std::function<int(const MessageBoxRecord &)> responder;
    bool messageBoxFails = false; // no display: MessageBoxA returns 0
    HCURSOR cursor = nullptr;     // the cursor now shown
    std::vector<HCURSOR> cursorHistory;
};

// The virtual clock: Sleep advances it, and events scheduled on it run as it
// passes their time, so waits are tested without real waiting.
class Clock {
public:
    [[nodiscard]] std::uint64_t now() const { return now_; }
    void advance(std::uint64_t milliseconds);
    // Runs action once the clock reaches at (or at once if it has).
    void schedule(std::uint64_t at, std::function<void()> action);
    // The time of the next scheduled event, UINT64_MAX when there is none.
    [[nodiscard]] std::uint64_t nextEvent() const {
        return events_.empty() ? UINT64_MAX : events_.begin()->first;
    }

private:
    std::uint64_t now_ = 100000;
    std::multimap<std::uint64_t, std::function<void()>> events_;
};

// Kernel objects behind HANDLEs (files, searches, processes, semaphores ...).
struct KernelObject {
    KernelObject() = default;
    KernelObject(const KernelObject &) = delete;
    KernelObject &operator=(const KernelObject &) = delete;
    virtual ~KernelObject() = default;
    [[nodiscard]] virtual bool signaled() const { return false; }
};

class HandleTable {
public:
    HANDLE add(std::shared_ptr<KernelObject> object);
    [[nodiscard]] std::shared_ptr<KernelObject> get(HANDLE handle) const;
    template <class T> std::shared_ptr<T> getAs(HANDLE handle) const {
        return std::dynamic_pointer_cast<T>(get(handle));
    }
    bool close(HANDLE handle);
    [[nodiscard]] std::size_t openCount() const { return objects_.size(); }

private:
    std::map<std::uintptr_t, std::shared_ptr<KernelObject>> objects_;
    std::uintptr_t next_ = 0x200;
};

// A program running on the machine. Its handle is signalled once it has
// exited; tests end it, or schedule its end on the clock.
struct Process : KernelObject {
    DWORD id = 0;
    std::string image; // the machine path of its program
    bool exited = false;
    DWORD exitCode = 0;
    [[nodiscard]] bool signaled() const override { return exited; }
};

// A library loaded with LoadLibraryA: a host shared object (the stand-ins of
// the product's sibling libraries), found by its machine path.
struct LoadedLibrary {
    std::string machinePath; // as the caller spelt it
    std::string hostPath;
    void *object = nullptr; // from dlopen
};

struct Machine {
    Registry registry;
    std::map<char, Drive> drives;     // upper-case drive letter -> drive
    std::string currentDirectory = "C:\\";
    std::string windowsFolder = "C:\\WINDOWS";
    std::map<std::string, std::string, CaseLess> environment;
    VersionInfo version;
    UINT codePage = 1252;
    User user;
    Clock clock;
    HandleTable handles;
    DWORD lastError = 0;
    std::map<DWORD, std::shared_ptr<Process>> processes; // by process id
    DWORD nextProcessId = 1000;
    std::vector<LoadedLibrary> libraries; // in the order they were loaded
    // Logging and restart.
    Calendar calendar;
    FileFaults fileFaults;
    ProcessToken processToken;
    std::vector<RestartRequest> restartRequests; // in the order they were made
    // Runs as the system takes each request, so a test can look at the
    // machine at that moment.
    std::function<void(const RestartRequest &)> onRestartRequest;
    std::vector<std::shared_ptr<StandInWindow>> standInWindows; // in the order they opened
};

// The machine the emulated Win32 functions act on.
Machine &machine();
// Replaces the machine with a blank one: no drives, an empty registry.
void resetMachine();

// A machine as a Windows XP installation has it, its C: drive in hostFolder:
// C:\WINDOWS, C:\Program Files, the usual environment variables.
void configureStandardMachine(const std::string &hostFolder);

// Maps a machine path (C:\Setup\QLNSETUP.INI) to a host path, matching each
// existing folder and file name without regard to letter case. Returns false
// when the path names no mapped drive.
bool hostPath(const std::string &machinePath, std::string &result);

// Starts a process of the given program (no code runs: the machine only
// knows that it exists and whether it has ended).
std::shared_ptr<Process> startProcess(const std::string &image);
// Ends a process now, with an exit code.
void endProcess(DWORD id, DWORD exitCode = 0);

// Handles of every kind that are open now: a test after an export expects 0.
std::size_t openHandleCount();

} // namespace emu
