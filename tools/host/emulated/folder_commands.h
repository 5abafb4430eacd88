// The machine subcommands that bring a real computer's state into a machine
// folder and take it out: registry files merged in and written out, a folder
// tree copied onto a drive. Each holds the folder's lock, is recorded in its
// journal and saves as a call does; none loads the library.
#pragma once

#include <string>
#include <vector>

#include "host_machine.h"

namespace host {

// Merges registry files (either header, ANSI or UTF-16 with its byte order
// mark) into the machine's registry as a 64-bit registry editor imports them
// there: keys named as it shows them, a Wow6432Node key the 32-bit view.
// Every file is parsed before anything changes: one that does not parse is
// refused with its line and the machine is left as it was. Prints what each
// file did.
void importRegistryFiles(const HostOptions &options, const std::vector<std::string> &files);

// Writes a key and everything below it (the whole registry when key is
// empty) as a "REGEDIT4" file for the registry editor.
void exportRegistryFile(const HostOptions &options, const std::string &file,
                        const std::string &key);

// Copies a folder of this computer, with everything below it, to a folder of
// the machine (C:\...), made where missing; files there are replaced. Only
// plain files and folders are copied: a link or a special file in the tree
// refuses the copy before anything is written.
void putFolder(const HostOptions &options, const std::string &source,
               const std::string &machineFolder);

} // namespace host
