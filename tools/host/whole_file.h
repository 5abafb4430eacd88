// Files the host writes for the user (a script's write line, a report):
// whole, or not at all.
#pragma once

#include <string>

namespace host {

// Puts content into the file at path whole: it is written beside the file
// under a name of its own and renamed over it, so a write that fails (a full
// disk, the file-size limit) leaves the file as it was and nothing beside it.
// Throws HostError that names what is written (the path as the user named
// it) and the cause.
void writeWholeFile(const std::string &path, const std::string &content, const std::string &what);

} // namespace host
