// What a call changed on the emulated machine: a snapshot before and after,
// and the differences told one line each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace host {

struct Snapshot {
    std::map<std::string, bool> keys;          // registry keys by full path
    std::map<std::string, std::string> values; // "key path" "name" -> type and data
    std::map<std::string, std::string> files;  // machine path -> "folder" or size and digest
    std::size_t messageBoxes = 0;
    std::map<unsigned long, bool> processes;       // process id -> exited
    std::map<std::uintptr_t, std::string> windows; // window handle -> title
    std::map<std::string, unsigned long> services; // service name -> state
    std::size_t windowMessages = 0;
    std::size_t startedPrograms = 0;
    std::size_t libraries = 0;
    std::size_t restartRequests = 0;
    std::size_t serviceControls = 0;
};

Snapshot takeSnapshot();

// One line per change, in a stable order: registry, files, the user's boxes,
// messages to windows, windows closed, programs started and ended, libraries
// loaded, services, restart requests.
std::vector<std::string> describeChanges(const Snapshot &before, const Snapshot &after);

// Text of the machine's code page as the transcript and the journal show it:
// UTF-8, with \x{NN} for control characters and bytes that are no character
// (emulator/persistence/lossless_text.h).
std::string visible(const std::string &text);

} // namespace host
