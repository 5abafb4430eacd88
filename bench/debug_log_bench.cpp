// One debug log line into a full ring of 100, 1,000 and 10,000 lines. Logging a
// line reads "LastLine" and rewrites the file twice ("LastLine", then the
// line itself), each rewrite replacing the whole file atomically; the floor
// does that directly: one read of the same file and two atomic rewrites
// (written beside it, flushed to the disk, renamed over it), as the
// machine's profile writes do.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/scratch_machine.h"
#include "cases.h"
#include "debug_log_ring.h"
#include "floor_reporter.h"
#include "logging/debug_log.h"

namespace bench {
namespace {

constexpr const char *kWindowsIni = "C:\\WINDOWS\\QLNQUILL.INI";

// A log that is switched on and whose ring of lines is full.
void writeFullRing(int lines) {
    ScratchMachine::writeFile(kWindowsIni, fullDebugLogRing(lines));
    // The switch and the ring size are kept for one load of the library.
    ScratchMachine::reloadLibrary();
}

bool readWhole(const std::string &path, std::string &content) {
    const int file = ::open(path.c_str(), O_RDONLY);
    if (file < 0) {
        return false;
    }
    content.clear();
    char buffer[65536];
    ssize_t count = 0;
    while ((count = ::read(file, buffer, sizeof buffer)) > 0) {
        content.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(file);
    return count == 0;
}

bool replaceAtomically(const std::string &path, const std::string &content) {
    const std::string temporary = path + ".~new";
    const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0) {
        return false;
    }
    const bool written =
        ::write(file, content.data(), content.size()) == static_cast<ssize_t>(content.size()) &&
        ::fsync(file) == 0;
    return ::close(file) == 0 && written && std::rename(temporary.c_str(), path.c_str()) == 0;
}

void directRewrites(benchmark::State &state, int lines) {
    writeFullRing(lines);
    std::string content;
    for (auto _ : state) {
        if (!readWhole(ScratchMachine::hostPath(kWindowsIni), content) ||
            !replaceAtomically(ScratchMachine::hostPath(kWindowsIni), content) ||
            !replaceAtomically(ScratchMachine::hostPath(kWindowsIni), content)) {
            state.SkipWithError("QLNQUILL.INI cannot be read or replaced");
            break;
        }
    }
}

void logLine(benchmark::State &state, int lines) {
    writeFullRing(lines);
    for (auto _ : state) {
        if (logging::DebugLogWindows(kLoggedMessage, kLoggedOrder) == 0) {
            state.SkipWithError("the log is switched off");
            break;
        }
    }
}

} // namespace

void registerDebugLogCases() {
    std::vector<std::string> cases;
    for (const int lines : kRingSizes) {
        cases.push_back("DebugLogLine.Ring" + std::to_string(lines));
        registerCase(
            cases.back(), [lines](benchmark::State &state) { directRewrites(state, lines); },
            [lines](benchmark::State &state) { logLine(state, lines); }, kLogLineTarget);
    }
    registerGrowth("DebugLogLine", cases, 10);
}

} // namespace bench
