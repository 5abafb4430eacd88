// An emulated machine kept in a folder between runs of the host:
//   state/machine.conf   the machine's settings, readable and editable
//                        (machine_settings.h)
//   state/registry.reg   the registry, a sorted registry file, as the last
//                        full save wrote it
//   state/registry.idx   its index: a command reads a key when a call
//                        reaches it (registry_base.h)
//   state/changes.reg    what changed in the registry since, as a registry
//                        file applied over registry.reg as it loads
//   drives/<letter>/     the files of each drive
// The host keeps its journal and its lock beside them. A save writes a new
// state folder beside the old one, flushes it to the disk and swaps it in, so
// an interruption at any point leaves either the previous state or the new
// one whole.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "emulator/persistence/machine_error.h"
#include "emulator/persistence/registry_export.h"

namespace emu {

// The machine's state as its folder keeps it: the text of machine.conf and
// either the whole registry (registry.reg, with where its keys' lines lie
// for its index) or, when the registry file the machine was loaded from
// stays, what changed since it was written (changes.reg).
struct SavedState {
    std::string settings;
    bool wholeRegistry = true;
    std::string registry;
    std::vector<KeyLine> keyLines;
    std::string changes;
};

// Whether a folder holds a machine's state (whole or not: loadMachine tells).
bool isMachineFolder(const std::string &folder);

// The error that tells a folder is no machine.
MachineError notAMachineFolder(const std::string &folder);

// Loads a machine folder into the current machine; throws MachineError with a
// clear message when the folder is not a machine or is damaged.
void loadMachine(const std::string &folder);

// The current machine's state, as saveMachine would write it: what changed
// since the registry file it was loaded from, or, when those changes have
// grown past a 64th of that file and 64 KiB (or there is no such file), the
// whole registry.
SavedState currentState();

// Called with the name of each step a save has reached ("save-settings-written",
// "save-written", "save-set-aside", "save-swapped").
using SaveSteps = std::function<void(const char *step)>;

// Saves a state into the machine folder, atomically and durably. The caller
// keeps other writers of the folder away while it saves.
void saveMachine(const std::string &folder, const SavedState &state, const SaveSteps &reached);

// Whether a save cut off after its step "save-written" had put its new state
// in place of the old: until the last rename, the new state is still beside
// the old one as state.new. (Only meaningful before the next load, which
// removes what a cut-off save left.)
bool cutOffSaveCommitted(const std::string &folder);

// Makes the entries of a folder (new, renamed or removed) durable; throws
// MachineError when it cannot.
void syncFolder(const std::string &path);

// The host folder that holds the files of a drive of a machine folder.
std::string driveFolder(const std::string &folder, char letter);

} // namespace emu
