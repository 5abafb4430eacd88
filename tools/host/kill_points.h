// A test hook: the host kills itself (SIGKILL) at the named point of its
// work when RADOZAVU_HOST_KILL_AT names it, so that tests can stop a command
// at exact points and check what it leaves.
#pragma once

namespace host {

void killPointForTests(const char *point);

} // namespace host
