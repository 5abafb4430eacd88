// The folders the emulated machine searches for programs and libraries.
#include "emulator/processes/search_path.h"

#include <algorithm>

#include "emulator/files/files_internal.h"
#include "emulator/processes/process_state.h"
#include "emulator/system/system_state.h"
#include "emulator/text.h"

namespace emu {

std::string lastName(const std::string &path) {
    const char *separator = findLastCharacter(path.c_str(), '\\');
    return separator != nullptr ? std::string(separator + 1) : path;
}

std::string programFolder() {
    std::string folder = processes().programFile;
    const char *separator = findLastCharacter(folder.c_str(), '\\');
    folder.resize(separator != nullptr ? static_cast<std::size_t>(separator - folder.c_str()) : 0);
    return folder;
}

std::vector<std::string> pathVariableFolders() {
    std::vector<std::string> folders;
    const auto &environment = system().environment;
    const auto path = environment.find("PATH");
    if (path == environment.end()) {
        return folders;
    }
    std::size_t start = 0;
    while (start <= path->second.size()) {
        const std::size_t end = std::min(path->second.find(';', start), path->second.size());
        if (end > start) {
            folders.push_back(path->second.substr(start, end - start));
        }
        start = end + 1;
    }
    return folders;
}

bool isFile(const std::string &machinePath) {
    ResolvedPath resolved;
    if (!resolvePath(machinePath, resolved)) {
        return false;
    }
    const DWORD attributes = attributesOf(resolved.host);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool namesAFolder(const std::string &name) {
    return findCharacter(name.c_str(), '\\') != nullptr ||
           findCharacter(name.c_str(), '/') != nullptr ||
           findCharacter(name.c_str(), ':') != nullptr;
}

std::string findInFolders(const std::string &fileName, const std::vector<std::string> &folders) {
    for (std::string folder : folders) {
        if (folder.empty()) {
            continue;
        }
        dropTrailingBackslash(folder);
        std::string candidate = folder + "\\" + fileName;
        if (isFile(candidate)) {
            return candidate;
        }
    }
    return {};
}

} // namespace emu
