// A test on a fresh emulated Windows XP machine whose C: drive lies in a
// temporary host folder, with the library loaded into it. After every test
// no handle, key or system buffer may be left open.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "emulator/machine.h"

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static emu::Machine &machine() { return emu::machine(); }
    static emu::Registry &registry() { return emu::machine().registry; }

    // Unloads the library and loads it again, as a new installer run would.
    static void reloadLibrary();
    // Replaces the machine with a fresh one (a new C: drive folder) and loads
    // the library again, for tests that run a scenario many times over.
    void freshMachine();

    // The host path of a machine path on the C: drive.
    [[nodiscard]] std::string hostPath(const std::string &machinePath) const;
    // Writes or reads a whole file by its machine path (folders are created).
    void writeFile(const std::string &machinePath, const std::string &content) const;
    [[nodiscard]] std::string readFile(const std::string &machinePath) const;
    [[nodiscard]] bool fileExists(const std::string &machinePath) const;
    // Creates a folder by its machine path.
    void makeFolder(const std::string &machinePath) const;

    std::string root_; // the host folder of drive C:

private:
    void startMachine();
};
