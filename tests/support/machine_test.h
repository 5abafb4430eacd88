// A test on a scratch machine (support/scratch_machine.h): a fresh emulated
// Windows XP machine with the library loaded into it. After every test no
// handle, key or system buffer may be left open.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emulator/machine.h"
#include "support/scratch_machine.h"

// The product's key of HKEY_LOCAL_MACHINE that holds its install location.
constexpr const char *kCurrentVersionKey = "Software\\Brevanta\\Quillane\\Current Version";

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static emu::Machine &machine() { return emu::machine(); }
    static emu::Registry &registry() { return emu::machine().registry; }

    // Unloads the library and loads it again, as a new installer run would.
    static void reloadLibrary() { ScratchMachine::reloadLibrary(); }
    // Replaces the machine with a fresh one (an emptied C: drive folder) and
    // loads the library again, for tests that run a scenario many times over.
    void freshMachine() { scratch_->fresh(); }

    // The host path of a machine path on the C: drive.
    [[nodiscard]] static std::string hostPath(const std::string &machinePath) {
        return ScratchMachine::hostPath(machinePath);
    }
    // Writes or reads a whole file by its machine path (folders are created).
    static void writeFile(const std::string &machinePath, const std::string &content) {
        ScratchMachine::writeFile(machinePath, content);
    }
    [[nodiscard]] static std::string readFile(const std::string &machinePath);
    [[nodiscard]] static bool fileExists(const std::string &machinePath) {
        return ScratchMachine::fileExists(machinePath);
    }
    // Creates a folder by its machine path.
    static void makeFolder(const std::string &machinePath) {
        ScratchMachine::makeFolder(machinePath);
    }

    std::string root_; // the host folder of drive C:

private:
    std::unique_ptr<ScratchMachine> scratch_;
};
