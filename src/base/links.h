// Links and junctions on the way to the files the library deletes, creates
// or appends to. Where a folder that users can write lies on that way (an
// install folder outside Program Files, or an upgrade of one), any user can
// turn a subfolder into a junction, which needs no privilege, and so lead a
// write of the installer's, made with its rights, to a file of their
// choosing. Systems without reparse points (the Windows 95 family, NT 4.0)
// never report one, so there these checks pass everything.
#pragma once

#include <string>

#include "base/handles.h"
#include "platform/types.h"

namespace links {

// True when a name of path after folder (path begins with folder, which
// ends in its backslash and is not itself looked at) is a link or junction,
// a reparse point.
bool reachedThroughLink(const std::string &folder, const std::string &path);

// Opens path as CreateFileA does, but never through a link or junction at
// its last name: the name itself is opened (FILE_FLAG_OPEN_REPARSE_POINT)
// and refused when it is a reparse point, or no file on a disk (a device).
// A system that does not know the flag (before Windows 2000) refuses it as
// an invalid parameter and is asked again without it: it has no reparse
// points to follow.
handles::UniqueFileHandle OpenWithoutFollowing(const std::string &path, DWORD access,
                                               DWORD shareMode, DWORD disposition);

} // namespace links
