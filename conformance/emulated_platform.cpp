// The cases on Linux: a fresh emulated Windows XP machine for every case,
// its drive C: in a temporary host folder. After every case no handle, key or
// system buffer may be left open.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "emulator/machine.h"
#include "platform.h"

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

} // namespace conformance::platform
