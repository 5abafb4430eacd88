// The control interface of the emulated Windows machine: tests and the
// command-line host build a machine here, fault it and read its journal.
// It is no part of the library's exports and does not exist on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "emulator/case_less.h"
#include "emulator/registry/registry_store.h"
#include "emulator/processes/desktop.h"
#include "emulator/services/service_manager.h"
// Logging and restart.
#include "emulator/system/calendar.h"
#include "emulator/faults.h"
#include "emulator/system/shutdown_state.h"
#include "platform/types.h"

namespace emu {

// Drive types: the machine's names for the DRIVE_ values GetDriveTypeA
// reports (platform/win_types.h), where each number is written once.
enum DriveType : UINT {
    DriveUnknown = DRIVE_UNKNOWN,
    DriveNoRootDir = DRIVE_NO_ROOT_DIR,
    DriveRemovable = DRIVE_REMOVABLE,
    DriveFixed = DRIVE_FIXED,
    DriveRemote = DRIVE_REMOTE,
    DriveCdrom = DRIVE_CDROM,
    DriveRamdisk = DRIVE_RAMDISK,
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
    // Windows 8.1 and later tell a program the version above (6.2 build
    // 9200) unless it is manifested for Windows 10; such a program is told
    // this one (0: the answer does not depend on the manifest).
    DWORD manifestedMajor = 0;
    DWORD manifestedMinor = 0;
    DWORD manifestedBuild = 0;
    bool programManifested = false; // the setup program is manifested for Windows 10
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
    // An owner that is not a window of the desktop makes MessageBoxA fail
    // (ERROR_INVALID_WINDOW_HANDLE), as on Windows. Off unless a test asks,
    // since tests and the host name the installer's window by a bare number.
    bool ownerMustBeWindow = false;
    HCURSOR cursor = nullptr; // the cursor now shown
    std::vector<HCURSOR> cursorHistory;
};

// The virtual clock: Sleep advances it, and events scheduled on it run as it
// passes their time, so waits are tested without real waiting. It stops at
// its maximum, kClockMaximum, rather than wrap back to an earlier time.
class Clock {
public:
    [[nodiscard]] std::uint64_t now() const { return now_; }
    void advance(std::uint64_t milliseconds);
    // Starts a clock that nothing is scheduled on yet at a reading of its own
    // (a machine loaded from its folder).
    void start(std::uint64_t now) { now_ = now; }
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
    // What a wait that the object satisfies does to it (a semaphore's count
    // goes down by one).
    virtual void satisfyWait() {}
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
    // The rights OpenProcess grants; asking for more is refused.
    ACCESS_MASK allowedAccess = PROCESS_ALL_ACCESS;
    bool terminated = false; // ended by TerminateProcess
    // Kernel objects its program keeps open (the client programs' semaphore);
    // released when it ends.
    std::vector<std::shared_ptr<KernelObject>> heldObjects;
};

// A semaphore: its handle is signalled while the count is above 0, and a
// satisfied wait takes one from the count.
struct Semaphore : KernelObject {
    LONG count = 0;
    LONG maximum = 1;
    bool deniesAccess = false; // another user's object: opening it by name is refused
    [[nodiscard]] bool signaled() const override { return count > 0; }
    void satisfyWait() override { --count; }
};

// A library loaded with LoadLibraryExA, or imported by one and loaded with
// it: a host shared object (the stand-ins of the product's sibling
// libraries), found by its machine path.
struct LoadedLibrary {
    std::string machinePath; // as the caller spelt it; where an import was found
    std::string hostPath;
    void *object = nullptr; // from dlopen
};

// A program started with CreateProcessA or ShellExecuteExA, as the machine's
// journal keeps it.
struct StartedProgram {
    std::string startedBy;   // "CreateProcessA" or "ShellExecuteExA"
    std::string image;       // the machine path of the program file
    std::string commandLine; // the command line the program was given
    std::string verb;        // ShellExecuteExA's verb; empty for the default one
    DWORD processId = 0;
};

// One file the registry editor was asked to import, and how it went.
struct RegistryImport {
    std::string file;      // as named on the editor's command line
    bool imported = false; // every change of the file was made
    std::string problem;   // why not, when it was not
};

// How GetShortPathNameA answers: with generated 8.3 names, with the long
// names (as on a drive whose 8.3 names are switched off), or not at all (as
// when a folder of the path may not be listed).
enum class ShortNames { Generated, Off, LookupFails };

// The whole machine, its parts grouped by what they model.
struct Machine {
    // ---- The Windows installed ----
    VersionInfo version;
    // A 64-bit Windows: the 32-bit library runs under WOW64, with the
    // registry's 32-bit view (registry/wow64_registry.h) and System32
    // redirected to SysWOW64 (files/).
    bool x64 = false;
    UINT codePage = 1252;
    std::string windowsFolder = "C:\\WINDOWS";
    std::map<std::string, std::string, CaseLess> environment;
    // The shell's special folders (CSIDL number -> machine path). A folder
    // not listed is absent; one with an empty path has an item identifier
    // list but no file-system path.
    std::map<int, std::string> specialFolders;

    // ---- The registry ----
    Registry registry;

    // ---- Drives and files ----
    std::map<char, Drive> drives; // upper-case drive letter -> drive
    std::string currentDirectory = "C:\\";
    ShortNames shortNames = ShortNames::Generated;
    // Files held open by running programs (machine paths): deleting,
    // replacing or moving them fails with ERROR_SHARING_VIOLATION.
    std::vector<std::string> filesInUse;
    // Buffered and gzip files (fopen, gzopen): each open one holds a kernel
    // file handle, as a C runtime stream does on Windows.
    std::map<const void *, HANDLE> openStreams;
    // Damaged files: a file opened with fopen reads up to this byte offset,
    // then every read fails with an I/O error (machine path -> offset).
    std::map<std::string, long, CaseLess> readFailsFrom;

    // ---- The process the library runs in (the setup program) ----
    // Its program file, as GetModuleFileNameA gives it for no module.
    std::string programFile;
    HandleTable handles;
    DWORD lastError = 0;
    std::vector<LoadedLibrary> libraries; // in the order they were loaded
    // The libraries a library file imports (its file name -> the file names
    // of its imports), as a test declares them: the machine reads no imports
    // from the host's shared objects.
    std::map<std::string, std::vector<std::string>, CaseLess> libraryImports;
    // The string resources of the modules (module handle -> string id ->
    // text), each table given by its module as it loaded.
    std::map<HINSTANCE, std::map<UINT, std::string>> stringTables;
    std::set<void *> heapBlocks; // blocks taken from the process heap
    bool heapExhausted = false;  // HeapAlloc fails
    // Item identifier lists the shell handed out and nobody freed yet.
    std::map<const void *, std::string> shellItemLists;
    ProcessToken processToken;

    // ---- Other programs, their windows and the services ----
    std::map<DWORD, std::shared_ptr<Process>> processes; // by process id
    DWORD nextProcessId = 1000;
    std::vector<StartedProgram> startedPrograms; // in the order they were started
    std::vector<RegistryImport> registryImports; // in the order they ran
    // Named kernel objects; a name lives as long as some handle or process
    // holds its object. Names are case-sensitive.
    std::map<std::string, std::weak_ptr<KernelObject>> namedObjects;
    Desktop desktop;
    ServiceManager services;

    // ---- Time ----
    Clock clock;
    // The system time as a FILETIME (100-nanosecond intervals since 1601,
    // UTC) at clock reading systemTimeSetAt; it runs on with the clock.
    std::uint64_t systemTime = 127862139000000000ull; // Tue 2006-03-07 14:05:00 UTC
    std::uint64_t systemTimeSetAt = 100000;           // the clock's reading at its start
    Calendar calendar;

    // ---- The user in front of the machine ----
    User user;

    // ---- Faults and the end of Windows ----
    // Registry and file operations made to fail at a chosen call.
    Faults faults;
    std::vector<RestartRequest> restartRequests; // in the order they were made
    // Runs as the system takes each request, so a test can look at the
    // machine at that moment.
    std::function<void(const RestartRequest &)> onRestartRequest;
};

// The machine the emulated Win32 functions act on.
Machine &machine();
// Replaces the machine with a blank one: no drives, an empty registry.
void resetMachine();

// Maps a machine path (C:\Setup\QLNSETUP.INI) to a host path, matching each
// existing folder and file name without regard to letter case. Returns false
// when the path names no mapped drive.
bool hostPath(const std::string &machinePath, std::string &result);
// The machine path a path names as the 32-bit library sees the file system:
// on a 64-bit machine %windir%\System32 is SysWOW64 (but for the folders
// WOW64 leaves alone) and %windir%\Sysnative is System32; else the path.
std::string redirectedPath(const std::string &machinePath);

// Starts a process of the given program (no code runs: the machine only
// knows that it exists and whether it has ended).
std::shared_ptr<Process> startProcess(const std::string &image);
// Ends a process now, with an exit code.
void endProcess(DWORD id, DWORD exitCode = 0);

// Creates a named semaphore that a process holds open (0: the test holds it
// through the returned object alone).
std::shared_ptr<Semaphore> createSemaphore(const std::string &name, LONG count, LONG maximum,
                                           DWORD holderProcessId = 0);
// Gives an object a name in the machine's namespace.
void nameObject(const std::string &name, const std::shared_ptr<KernelObject> &object);

// Handles of every kind that are open now: a test after an export expects 0.
std::size_t openHandleCount();

// The largest readings of the machine's clocks, at which they stop: the
// virtual clock's in milliseconds, and the system time's, the largest FILETIME
// Windows turns into a date (the year 30828).
constexpr std::uint64_t kClockMaximum = UINT64_MAX;
constexpr std::uint64_t kSystemTimeMaximum = INT64_MAX;
// FILETIME units (100 ns) in a millisecond of the clock.
constexpr std::uint64_t kFileTimeUnitsPerMillisecond = 10000;

// Sets the system time (a FILETIME value) from now on.
void setSystemTime(std::uint64_t fileTime);
// The system time now: the time set, run on with the clock, and stopped at
// kSystemTimeMaximum.
std::uint64_t systemTimeNow(const Machine &m);

// The system folder as GetSystemDirectoryA gives it (System32, or SYSTEM on
// the Windows 95 family).
std::string systemFolder();

// The machine path of the system's registry editor, in the Windows folder.
std::string registryEditorPath();

} // namespace emu
