#include "support/machine_test.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "frame/library.h"

namespace fs = std::filesystem;

void MachineTest::SetUp() { startMachine(); }

void MachineTest::startMachine() {
    emu::resetMachine();
    // Drive C: lies in memory where the host has a memory file system: every
    // profile write is synced to disk before it replaces the file.
    std::error_code error;
    std::string pattern = fs::is_directory("/dev/shm", error) ? "/dev/shm" : "/tmp";
    pattern += "/radozavu-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    emu::configureStandardMachine(root_);
    frame::libraryLoad(frame::emulatedModule());
}

void MachineTest::freshMachine() {
    frame::libraryUnload();
    std::error_code error;
    fs::remove_all(root_, error);
    startMachine();
}

void MachineTest::TearDown() {
    EXPECT_EQ(emu::openHandleCount(), 0u) << "a handle, key or system buffer was left open";
    frame::libraryUnload();
    std::error_code error;
    fs::remove_all(root_, error);
}

void MachineTest::reloadLibrary() {
    frame::libraryUnload();
    frame::libraryLoad(frame::emulatedModule());
}

std::string MachineTest::hostPath(const std::string &machinePath) const {
    std::string host;
    EXPECT_TRUE(emu::hostPath(machinePath, host)) << machinePath;
    return host;
}

void MachineTest::writeFile(const std::string &machinePath, const std::string &content) const {
    const fs::path host = hostPath(machinePath);
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

std::string MachineTest::readFile(const std::string &machinePath) const {
    std::ifstream in(hostPath(machinePath), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool MachineTest::fileExists(const std::string &machinePath) const {
    return fs::exists(hostPath(machinePath));
}

void MachineTest::makeFolder(const std::string &machinePath) const {
    fs::create_directories(hostPath(machinePath));
}
