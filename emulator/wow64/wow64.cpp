#include "emulator/wow64/wow64.h"

#include <algorithm>
#include <cctype>

#include "emulator/case_less.h"
#include "emulator/system/system_state.h"
#include "emulator/text.h"

namespace emu {
namespace {

// The folders of System32 that WOW64 does not redirect, each as its path parts.
const std::vector<std::vector<std::string>> kSharedSystemFolders = {
    {"catroot"}, {"catroot2"}, {"driverstore"}, {"drivers", "etc"}, {"logfiles"}, {"spool"},
};

} // namespace

bool underWow64() { return system().x64; }

void redirectSystemFolder(char drive, std::vector<std::string> &parts) {
    const std::string &windowsFolder = system().windowsFolder;
    if (!underWow64() || windowsFolder.size() < 2 ||
        std::toupper(static_cast<unsigned char>(windowsFolder[0])) != drive) {
        return;
    }
    const std::vector<std::string> windowsParts = splitKeyPath(windowsFolder.substr(2));
    const std::size_t at = windowsParts.size();
    if (!startsWithNames(parts, 0, windowsParts) || parts.size() <= at) {
        return;
    }
    if (equalNoCase(parts[at], "Sysnative")) {
        parts[at] = "System32";
    } else if (equalNoCase(parts[at], "System32") &&
               std::none_of(kSharedSystemFolders.begin(), kSharedSystemFolders.end(),
                            [&](const std::vector<std::string> &shared) {
                                return startsWithNames(parts, at + 1, shared);
                            })) {
        parts[at] = "SysWOW64";
    }
}

std::string wow64SystemFolder() {
    return underWow64() ? system().windowsFolder + "\\SysWOW64" : "";
}

std::vector<std::pair<std::string, std::string>> wow64Environment(bool programW6432) {
    std::vector<std::pair<std::string, std::string>> variables = {
        {"ProgramFiles", "C:\\Program Files (x86)"},
        {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
        {"CommonProgramFiles", "C:\\Program Files (x86)\\Common Files"},
        {"CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files"},
        {"PROCESSOR_ARCHITECTURE", "x86"},
        {"PROCESSOR_ARCHITEW6432", "AMD64"},
    };
    if (programW6432) {
        variables.emplace_back("ProgramW6432", "C:\\Program Files");
        variables.emplace_back("CommonProgramW6432", "C:\\Program Files\\Common Files");
    }
    return variables;
}

} // namespace emu
