// Where the emulated machine looks for a program or library named without a
// folder: the folders each search may take, and the walk through them.
#pragma once

#include <string>
#include <vector>

namespace emu {

// The name after a path's last backslash (or the whole path).
std::string lastName(const std::string &path);
// The folder of the running program's file (the setup program's).
std::string programFolder();
// The folders of the PATH environment variable, in order.
std::vector<std::string> pathVariableFolders();
// The first folder of the list that holds the file (a file, not a folder),
// as the folder's path, a backslash and the name; "" when none does. Empty
// folders of the list are passed over.
std::string findInFolders(const std::string &fileName, const std::vector<std::string> &folders);
// Whether a machine path names a file (not a folder).
bool isFile(const std::string &machinePath);
// Whether a name holds a folder or drive (and so is not searched for).
bool namesAFolder(const std::string &name);

} // namespace emu
