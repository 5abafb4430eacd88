// The emulated Windows machine under a fuzz target: one folder in memory
// holds drive C:, every input starts on a fresh standard machine with the
// library loaded afresh, and a broken promise ends the run with a report
// (libFuzzer keeps the input that broke it).
#pragma once

#include <cstdint>
#include <string>

namespace fuzz {

// The ANSI code pages the machine has: single-byte 1252 and the double-byte
// 932, 936, 949 and 950. Picks one by a byte of the input.
unsigned codePageFrom(std::uint8_t selector);

// A fresh Windows XP machine in the given code page, C: emptied, the library
// loaded afresh.
void freshMachine(unsigned codePage);

// Files of drive C: by their machine paths.
void writeFile(const std::string &machinePath, const std::string &content);
// False when the file is absent.
bool readFile(const std::string &machinePath, std::string &content);

// Reports a broken promise and ends the run.
[[noreturn]] void fail(const std::string &what);
inline void expect(bool condition, const std::string &what) {
    if (!condition) {
        fail(what);
    }
}

// The checks every input ends with: no key, handle or system buffer is left
// open on the machine.
void finishInput();

// The text that bytes hold as a C string does: up to the first zero.
inline std::string textOf(const std::string &bytes) { return bytes.substr(0, bytes.find('\0')); }

// Text as a report shows it: printable ASCII kept, other bytes in hex.
std::string visible(const std::string &text);

} // namespace fuzz
