#include "support/machine_test.h"

void MachineTest::SetUp() {
    scratch_ = std::make_unique<ScratchMachine>();
    root_ = scratch_->driveFolder();
}

void MachineTest::TearDown() {
    EXPECT_EQ(emu::openHandleCount(), 0u) << "a handle, key or system buffer was left open";
    scratch_.reset();
}

std::string MachineTest::readFile(const std::string &machinePath) {
    std::string content;
    ScratchMachine::readFile(machinePath, content);
    return content;
}
