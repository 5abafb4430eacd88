// machine new: a machine folder made from the built-in default.
#pragma once

#include <string>

namespace host {

// Creates a machine folder from the built-in default (an installed Windows of
// the given name, 64-bit when arch is "x64" (empty: the version's default),
// with its usual registry, drives and shell folders; with
// withProductRunning, an installed Quillane whose programs and services run)
// and makes it the current machine. Refuses a folder that exists and is not
// empty. Interrupted, it leaves the folder as it was or a whole machine.
void createMachine(const std::string &folder, const std::string &windows, const std::string &arch,
                   unsigned codePage, bool withProductRunning);

} // namespace host
