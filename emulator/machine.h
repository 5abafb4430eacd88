// The control interface of the emulated Windows machine: tests and the
// command-line host build a machine here, fault it and read its journal.
// It is no part of the library's exports and does not exist on Windows.
//
// The machine gathers the parts of its areas, each declared in its area's
// header with the function that reaches it (kernel(), system(), files() ...);
// the areas reach one another through those functions and never include
// this header. Only what acts on the whole machine stands above it: the
// installation builder, persistence, the tests and the host.
#pragma once

#include <cstddef>

#include "emulator/faults.h"
#include "emulator/files/file_system.h"
#include "emulator/kernel/kernel_objects.h"
#include "emulator/processes/process_state.h"
#include "emulator/registry/machine_registry.h"
#include "emulator/services/service_manager.h"
#include "emulator/system/system_state.h"

namespace emu {

// The whole machine, a part for each area.
struct Machine {
    Kernel kernel;
    System system;
    Registry registry;
    FileSystem files;
    Processes processes;
    ServiceManager services;
    // Registry and file operations made to fail at a chosen call.
    Faults faults;
};

// The machine the emulated Win32 functions act on.
Machine &machine();
// Replaces the machine with a blank one: no drives, an empty registry.
void resetMachine();

// Handles of every kind that are open now: a test after an export expects 0.
std::size_t openHandleCount();

} // namespace emu
