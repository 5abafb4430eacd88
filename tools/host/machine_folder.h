// An emulated machine kept in a folder between runs of the host:
//   state/machine.conf   the machine's settings, readable and editable
//   state/registry.reg   the registry, a sorted registry file
//   drives/<letter>/     the files of each drive
//   journal.log          what every call did, appended
//   lock                 held by the command that uses the folder (folder_lock.h)
// A save writes a new state folder beside the old one, flushes it to the disk
// and swaps it in, so an interruption at any point leaves either the previous
// state or the new one whole.
#pragma once

#include <stdexcept>
#include <string>

namespace host {

struct MachineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The ANSI code pages a machine can have: 1252, 932, 936, 949 and 950.
bool isSupportedCodePage(unsigned codePage);

// The Windows versions a new machine can have.
const char *const *windowsNames();

// The machine's state as its folder keeps it: the texts of machine.conf and
// registry.reg.
struct SavedState {
    std::string settings;
    std::string registry;
    bool operator==(const SavedState &) const = default;
};

// Creates a machine folder from the built-in default (an installed Windows of
// the given name with its usual registry, drives and shell folders; with
// withProductRunning, an installed Quillane whose programs and services run)
// and makes it the current machine. Refuses a folder that exists and is not
// empty.
// Holds the folder's lock while it creates it (wait: as FolderLock).
void createMachine(const std::string &folder, const std::string &windows, unsigned codePage,
                   bool withProductRunning, bool wait);

// Whether a folder holds a machine's state (whole or not: loadMachine tells).
bool isMachineFolder(const std::string &folder);

// The error that tells a folder is no machine.
MachineError notAMachineFolder(const std::string &folder);

// Loads a machine folder into the current machine; throws MachineError with a
// clear message when the folder is not a machine or is damaged.
void loadMachine(const std::string &folder);

// The current machine's state, as saveMachine would write it.
SavedState currentState();

// Saves a state into the machine folder, atomically and durably. The caller
// holds the folder's lock.
void saveMachine(const std::string &folder, const SavedState &state);

// Appends text to the machine's journal and flushes it to the disk. A
// journal that cannot be written (a read-only folder) is reported on standard
// error and does not fail the command.
void appendJournal(const std::string &folder, const std::string &text);

// A test hook: the host kills itself (SIGKILL) at the named point of its
// work when RADOZAVU_HOST_KILL_AT names it, so that tests can stop a command
// at exact points and check what it leaves.
void killPointForTests(const char *point);

// The host folder that holds the files of a drive of a machine folder.
std::string driveFolder(const std::string &folder, char letter);

} // namespace host
