// Short (8.3) names of the emulated machine's files. A name that already is
// a valid 8.3 name is its own short name; any other gets NAME~N.EXT, numbered
// per folder in the order of the folder's names, so the same folder content
// always gives the same short names.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "emulator/case_less.h"

namespace emu {

// The short name of every entry of a host folder, by long name.
std::map<std::string, std::string, CaseLess> shortNamesOf(const std::filesystem::path &folder);

// The short name of the entry longName of a host folder.
std::string shortNameOf(const std::filesystem::path &folder, const std::string &longName);

// The entry of a host folder that a name denotes: its long name matched
// without regard to case, or failing that its short name. "" when none.
std::string findEntry(const std::filesystem::path &folder, const std::string &name);

} // namespace emu
