#include "bench_machine.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "frame/library.h"
#include "emulator/machine.h"

namespace fs = std::filesystem;

namespace bench {

BenchMachine::BenchMachine() {
    char pattern[] = "/tmp/radozavu-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder for drive C:");
    }
    root_ = pattern;
    emu::resetMachine();
    emu::configureStandardMachine(root_);
    frame::libraryLoad(frame::emulatedModule());
}

BenchMachine::~BenchMachine() {
    frame::libraryUnload();
    std::error_code error;
    fs::remove_all(root_, error);
}

std::string BenchMachine::hostPath(const std::string &machinePath) {
    std::string host;
    if (!emu::hostPath(machinePath, host)) {
        throw std::runtime_error("no drive for " + machinePath);
    }
    return host;
}

void BenchMachine::writeFile(const std::string &machinePath, const std::string &content) {
    const fs::path host = hostPath(machinePath);
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

void BenchMachine::removeFile(const std::string &machinePath) {
    std::error_code error;
    fs::remove(hostPath(machinePath), error);
}

void BenchMachine::reloadLibrary() {
    frame::libraryUnload();
    frame::libraryLoad(frame::emulatedModule());
}

} // namespace bench
