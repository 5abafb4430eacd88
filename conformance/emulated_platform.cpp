// The cases on Linux: a fresh emulated Windows XP machine for every case,
// its drive C: in a temporary host folder; with RADOZAVU_CONFORMANCE_WINDOWS
// set to "10-x64" (conformance.emulated.x64), a Windows 10 x64 machine on
// which the suite runs under WOW64. After every case no handle, key or
// system buffer may be left open.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "emulator/installation/windows_editions.h"
#include "emulator/machine.h"
#include "emulator/wow64/registry_views.h"
#include "platform.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace conformance::platform {
namespace {

std::string &driveFolder() {
    static std::string folder;
    return folder;
}

// The machine of the run: Windows 10 x64, or the standard XP machine.
bool &windows10X64() {
    static bool x64 = false;
    return x64;
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
    const char *windows = std::getenv("RADOZAVU_CONFORMANCE_WINDOWS");
    if (windows != nullptr && *windows != '\0') {
        if (std::string(windows) != "10-x64") {
            throw std::runtime_error(std::string("RADOZAVU_CONFORMANCE_WINDOWS: only 10-x64 is "
                                                 "known, not ") +
                                     windows);
        }
        windows10X64() = true;
    }
}

void startCase() {
    emu::resetMachine();
    fs::remove_all(driveFolder());
    if (windows10X64()) {
        emu::configureWindows(driveFolder(), *emu::findWindowsEdition("10"), true);
    } else {
        emu::configureWindows(driveFolder(), emu::defaultEdition(), false);
    }
    fs::create_directories(hostPath(scratchFolder()));
    // The folder of the suite's program file, as a program's folder exists
    // on Windows (the cases of the program search plant files there).
    const std::string &program = emu::machine().processes.programFile;
    fs::create_directories(driveFolder() + "/" + program.substr(3, program.rfind('\\') - 3));
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

void makeJunction(const std::string &link, const std::string &target) {
    fs::create_directory_symlink(hostPath(target), hostPath(link));
}

std::string name() {
    return windows10X64() ? "the emulated machine (Windows 10 x64)" : "the emulated machine";
}

bool underWow64() { return emu::machine().system.x64; }

std::vector<std::string> subkeyNames(HKEY root, const std::string &path, REGSAM view) {
    return emu::subkeyNames(root, path, emu::uses32BitView(view));
}

// The machine is made afresh for every case: nothing outlives one.
void removeKey(HKEY, const std::string &, REGSAM) {}

bool underWine() { return false; }

} // namespace conformance::platform
