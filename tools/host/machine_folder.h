// An emulated machine kept in a folder between runs of the host:
//   state/machine.conf   the machine's settings, readable and editable
//   state/registry.reg   the registry, a sorted registry file
//   drives/<letter>/     the files of each drive
//   journal.log          what every call did, appended
// A save writes a new state folder beside the old one and swaps it in, so a
// crash mid-save leaves the previous state whole.
#pragma once

#include <stdexcept>
#include <string>

namespace host {

struct MachineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The Windows versions a new machine can have.
const char *const *windowsNames();

// Creates a machine folder from the built-in default (an installed Windows of
// the given name with its usual registry, drives and shell folders; with
// withProductRunning, an installed Quillane whose programs and services run)
// and makes it the current machine. Refuses a folder that exists and is not
// empty.
void createMachine(const std::string &folder, const std::string &windows, unsigned codePage,
                   bool withProductRunning);

// Loads a machine folder into the current machine; throws MachineError with a
// clear message when the folder is not a machine or is damaged.
void loadMachine(const std::string &folder);

// Saves the current machine's settings and registry into its folder.
void saveMachine(const std::string &folder);

// Appends lines to the machine's journal.
void appendJournal(const std::string &folder, const std::string &text);

// The host folder that holds the files of a drive of a machine folder.
std::string driveFolder(const std::string &folder, char letter);

} // namespace host
