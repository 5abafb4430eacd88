// The programs of the emulated machine: the setup program the library runs
// in (its file, libraries, resources and heap), the other programs started
// or running, with their windows on the desktop, and the user in front of it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "emulator/case_less.h"
#include "emulator/kernel/kernel_objects.h"
#include "emulator/processes/desktop.h"
#include "platform/types.h"

namespace emu {

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

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT style = 0;
    int answer = IDOK;
};

// What the user does with a message box when no responder is set, as a
// machine folder keeps it: closes the windows of these titles (ending their
// programs), then presses the button.
struct ScriptedAnswer {
    int button = IDOK;
    std::vector<std::string> closes;
};

// What the scripted user does with a message box: closes the first window
// of each title (ending its program, when the machine knows it), then gives
// the button.
int answerAsScripted(const ScriptedAnswer &scripted);

// The user in front of the machine: message boxes are journalled and
// answered by the responder, else as scripted; either may change the
// machine (the user closes a program, then presses OK).
struct User {
    std::vector<MessageBoxRecord> messageBoxes;
    std::function<int(const MessageBoxRecord &)> responder;
    ScriptedAnswer scripted;
    bool messageBoxFails = false; // no display: MessageBoxA returns 0
    // An owner that is not a window of the desktop makes MessageBoxA fail
    // (ERROR_INVALID_WINDOW_HANDLE), as on Windows. Off unless a test asks,
    // since tests and the host name the installer's window by a bare number.
    bool ownerMustBeWindow = false;
    HCURSOR cursor = nullptr; // the cursor now shown
    std::vector<HCURSOR> cursorHistory;
};

// The machine's part that runs programs.
struct Processes {
    // ---- The process the library runs in (the setup program) ----
    // Its program file, as GetModuleFileNameA gives it for no module.
    std::string programFile;
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

    // ---- Other programs, their windows and the user ----
    std::map<DWORD, std::shared_ptr<Process>> running; // by process id
    DWORD nextProcessId = 1000;
    std::vector<StartedProgram> startedPrograms; // in the order they were started
    std::vector<RegistryImport> registryImports; // in the order they ran
    Desktop desktop;
    User user;
};

// The current machine's programs.
Processes &processes();

// Starts a process of the given program (no code runs: the machine only
// knows that it exists and whether it has ended).
std::shared_ptr<Process> startProcess(const std::string &image);
// Ends a process now, with an exit code.
void endProcess(DWORD id, DWORD exitCode = 0);

// Creates a named semaphore that a process holds open (0: the test holds it
// through the returned object alone).
std::shared_ptr<Semaphore> createSemaphore(const std::string &name, LONG count, LONG maximum,
                                           DWORD holderProcessId = 0);

// The machine path of the system's registry editor, in the Windows folder.
std::string registryEditorPath();

// Memory blocks from LocalAlloc not freed yet.
std::size_t localAllocationCount();

} // namespace emu
