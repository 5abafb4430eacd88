#include "kill_points.h"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace host {

void killPointForTests(const char *point) {
    const char *killAt = std::getenv("RADOZAVU_HOST_KILL_AT");
    if (killAt != nullptr && std::strcmp(killAt, point) == 0) {
#ifdef _WIN32
        TerminateProcess(GetCurrentProcess(), 137);
#else
        std::raise(SIGKILL);
#endif
    }
}

} // namespace host
