#include "emulator/machine.h"

#include <memory>

#include "emulator/code_page.h"

namespace emu {
namespace {
std::unique_ptr<Machine> &currentMachine() {
    static std::unique_ptr<Machine> current = std::make_unique<Machine>();
    return current;
}
} // namespace

Machine &machine() { return *currentMachine(); }

void resetMachine() { currentMachine() = std::make_unique<Machine>(); }

// Each area reaches its part of the one machine through these.
Kernel &kernel() { return machine().kernel; }
System &system() { return machine().system; }
Registry &registry() { return machine().registry; }
FileSystem &files() { return machine().files; }
Processes &processes() { return machine().processes; }
ServiceManager &services() { return machine().services; }
Faults &faults() { return machine().faults; }
unsigned ansiCodePage() { return machine().system.codePage; }

std::size_t openHandleCount() {
    Machine &m = machine();
    return m.registry.openHandleCount() + m.kernel.handles.openCount() + localAllocationCount() +
           m.system.shellItemLists.size() + m.processes.heapBlocks.size();
}

} // namespace emu
