// machine.conf: the emulated machine's settings as a readable text of
// [sections] with "name = value" lines. Everything of the machine but its
// registry and its files lives here: version, code page, clock and time,
// folders, drive types, environment, the shell's folders, the user's
// scripted answers, running programs with their windows and semaphores,
// and services.
#pragma once

#include <string>
#include <vector>

namespace emu {

// The current machine's settings as text.
std::string writeSettings();

// The version of the machine folder's form the host writes: machine.conf
// says it in its first setting, "format = 2", and ends with kEndLine, and
// registry.reg ends with its own end line. A folder of an earlier version
// (no format setting) is version 1, and its files have no end lines.
constexpr int kStateFormat = 2;
constexpr const char *kEndLine = "[end]";

// Applies settings text to the current machine (a fresh one); drives are
// mapped into driveRoot/<letter>. Throws MachineError naming the line or
// setting at fault, or telling that a file of this version was cut short.
// Returns the version of the file's form: kStateFormat, or 1 for a file of
// an earlier version.
int readSettings(const std::string &text, const std::string &driveRoot);

} // namespace emu
