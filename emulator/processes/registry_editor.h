// The system's registry editor as the emulated machine runs it: it imports
// the registry files its command line names ("/s" and "/i" switches, paths
// quoted or not) into the machine's registry, records each import in the
// machine's journal, and ends its process once it is done.
#pragma once

#include <memory>
#include <string>

#include "emulator/processes/process_state.h"

namespace emu {

// Runs the editor in a process just started, with the text of its command
// line after the program's name. The import takes a little time on the
// virtual clock, so it happens while the starter waits for the process. The
// 32-bit editor of a 64-bit machine (in SysWOW64) imports into the
// registry's 32-bit view (view32), as the 32-bit library would write.
void runRegistryEditor(const std::shared_ptr<Process> &process, const std::string &arguments,
                       bool view32);

} // namespace emu
