// The error of a machine folder that is not a machine, is damaged or cannot be
// read or written; its message names the folder, file or setting at fault.
#pragma once

#include <stdexcept>

namespace emu {

struct MachineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace emu
