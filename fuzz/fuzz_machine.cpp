#include "fuzz_machine.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "emulator/machine.h"
#include "support/scratch_machine.h"

namespace fuzz {
namespace {

// The machine, made at the first input and gone at exit: its drive folder
// lies in the folder that RADOZAVU_FUZZ_DRIVES names (scripts/fuzz.sh removes
// it also after a run that ended on a finding), else in memory.
std::unique_ptr<ScratchMachine> &scratch() {
    static std::unique_ptr<ScratchMachine> machine;
    return machine;
}

} // namespace

unsigned codePageFrom(std::uint8_t selector) {
    static const unsigned kCodePages[] = {1252, 932, 936, 949, 950};
    return kCodePages[selector % (sizeof kCodePages / sizeof kCodePages[0])];
}

void freshMachine(unsigned codePage) {
    if (!scratch()) {
        const char *parent = std::getenv("RADOZAVU_FUZZ_DRIVES");
        scratch() = std::make_unique<ScratchMachine>(parent != nullptr ? parent : "");
        std::atexit([] { scratch().reset(); });
    }
    scratch()->fresh(codePage);
}

void writeFile(const std::string &machinePath, const std::string &content) {
    ScratchMachine::writeFile(machinePath, content);
}

bool readFile(const std::string &machinePath, std::string &content) {
    return ScratchMachine::readFile(machinePath, content);
}

void fail(const std::string &what) {
    std::fprintf(stderr, "\n== broken promise: %s\n", what.c_str());
    std::abort();
}

void finishInput() {
    expect(emu::openHandleCount() == 0, "a key, handle or system buffer was left open");
}

std::string visible(const std::string &text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            shown += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            shown += hex;
        }
    }
    return shown;
}

} // namespace fuzz
