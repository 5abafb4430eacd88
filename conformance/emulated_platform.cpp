// The cases on Linux: a fresh emulated Windows XP machine for every case,
// its drive C: in a temporary host folder. After every case no handle, key or
// system buffer may be left open.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "emulator/machine.h"
#include "platform.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace conformance::platform {
namespace {

std::string &driveFolder() {
    static std::string folder;
    return folder;
}

} // namespace

void startRun() {
    std::error_code error;
    std::string pattern = fs::is_directory("/dev/shm", error) ? "/dev/shm" : "/tmp";
    pattern += "/radozavu-conformance-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a folder for drive C: in " + pattern);
    }
    driveFolder() = pattern;
}

void startCase() {
    emu::resetMachine();
    fs::remove_all(driveFolder());
    emu::configureStandardMachine(driveFolder());
    fs::create_directories(hostPath(scratchFolder()));
}

void endCase() {
    EXPECT_EQ(emu::openHandleCount(), 0u) << "a case left a handle, key or buffer open";
    emu::resetMachine();
}

const std::string &scratchFolder() {
    static const std::string folder = "C:\\conformance";
    return folder;
}

std::string hostPath(const std::string &machinePath) {
    std::string host;
    if (!emu::hostPath(machinePath, host)) {
        throw std::runtime_error("no drive for " + machinePath);
    }
    return host;
}

std::string name() { return "the emulated machine"; }

bool underWine() { return false; }

// Windows gives a 32-bit process under WoW64, and only such a process, the
// variable PROCESSOR_ARCHITEW6432 (the machine's own architecture): the
// emulated machine is asked through its environment.
bool runsUnderWow64() {
    const char *const variable = "%PROCESSOR_ARCHITEW6432%";
    char expanded[64];
    const DWORD length = win::ExpandEnvironmentStringsA(variable, expanded, sizeof expanded);
    return length > 0 && length <= sizeof expanded && std::string(expanded) != variable;
}

} // namespace conformance::platform
