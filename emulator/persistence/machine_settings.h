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

// The ANSI code pages a machine can have: 1252, 932, 936, 949 and 950.
bool isSupportedCodePage(unsigned codePage);

// The current machine's settings as text.
std::string writeSettings();

// Applies settings text to the current machine (a fresh one); drives are
// mapped into driveRoot/<letter>. Throws MachineError naming the line or
// setting at fault.
void readSettings(const std::string &text, const std::string &driveRoot);

// What the user in front of the machine does when a message box appears:
// answers it with a button number, after closing the windows (and ending the
// programs) of the given titles. Kept in the settings.
void setUserAnswer(int answer, const std::vector<std::string> &closesTitles);

} // namespace emu
