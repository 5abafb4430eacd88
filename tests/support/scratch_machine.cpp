#include "support/scratch_machine.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "emulator/installation/windows_editions.h"
#include "emulator/machine.h"
#include "frame/library.h"

namespace fs = std::filesystem;

ScratchMachine::ScratchMachine(const std::string &parentFolder) {
    std::error_code error;
    std::string pattern = !parentFolder.empty()                 ? parentFolder
                          : fs::is_directory("/dev/shm", error) ? "/dev/shm"
                                                                : "/tmp";
    pattern += "/radozavu-machine-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a folder for drive C: in " + pattern);
    }
    folder_ = pattern;
    start(1252);
}

ScratchMachine::~ScratchMachine() {
    frame::libraryUnload();
    std::error_code error;
    fs::remove_all(folder_, error);
}

void ScratchMachine::start(unsigned codePage) {
    emu::resetMachine();
    emu::configureWindows(folder_, emu::defaultEdition(), false);
    emu::machine().system.codePage = codePage;
    frame::libraryLoad(frame::emulatedModule());
}

void ScratchMachine::fresh(unsigned codePage) {
    frame::libraryUnload();
    std::error_code error;
    fs::remove_all(folder_, error);
    fs::create_directories(folder_, error);
    start(codePage);
}

void ScratchMachine::reloadLibrary() {
    frame::libraryUnload();
    frame::libraryLoad(frame::emulatedModule());
}

std::string ScratchMachine::hostPath(const std::string &machinePath) {
    std::string host;
    if (!emu::hostPath(machinePath, host)) {
        throw std::runtime_error("no drive for " + machinePath);
    }
    return host;
}

void ScratchMachine::writeFile(const std::string &machinePath, const std::string &content) {
    const fs::path host = hostPath(machinePath);
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

bool ScratchMachine::readFile(const std::string &machinePath, std::string &content) {
    std::ifstream in(hostPath(machinePath), std::ios::binary);
    if (!in) {
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    content = text.str();
    return true;
}

bool ScratchMachine::fileExists(const std::string &machinePath) {
    return fs::exists(hostPath(machinePath));
}

void ScratchMachine::makeFolder(const std::string &machinePath) {
    fs::create_directories(hostPath(machinePath));
}

void ScratchMachine::removeFile(const std::string &machinePath) {
    std::error_code error;
    fs::remove(hostPath(machinePath), error);
}
