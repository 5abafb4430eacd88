// The product's initial settings, put in place after the installer has
// copied the files: the initial preferences file, the other INI files of
// the setup folder, and the initial registry file imported with the
// system's registry editor.
#include <string>
#include <utility>

#include "actions/process_runner.h"
#include "config/setup_config.h"
#include "platform/file_operations.h"
#include "platform/files.h"
#include "base/handles.h"
#include "base/mbtext.h"
#include "base/paths.h"
#include "radozavu.h"

namespace {

// The system's registry editor. It is started by its full path from the
// system's folders only: a bare name would also be looked for in the setup
// program's folder and in the current folder, where a user could put a
// program of that name to run with the installer's rights.
constexpr const char *kRegistryEditor = "regedit.exe";

bool exists(const std::string &path) {
    return win::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool found(const std::string &path) {
    WIN32_FIND_DATAA data;
    const handles::UniqueFindHandle search(win::FindFirstFileA(path.c_str(), &data));
    return static_cast<bool>(search);
}

// A file setting of the setup configuration, taken as it stands (no
// environment references expanded), read with room for one byte more than a
// path: false when the value is longer than a path can be.
bool fileSetting(const std::string &configurationFile, const char *key,
                 const std::string &defaultPath, std::string &path) {
    std::string value = config::ReadRawSetting(configurationFile, key, defaultPath.c_str(),
                                               paths::kMaxPathLength + 2);
    if (!paths::fits(value)) {
        return false;
    }
    path = std::move(value);
    return true;
}

bool hasBlank(const char *text) { return mbtext::findChar(text, ' ') != nullptr; }

std::string quoted(const std::string &text) { return "\"" + text + "\""; }

// The registry file as the registry editor's argument: its short (8.3) path.
// Where there is none, or it still holds a blank (short names switched off
// on that drive), the path goes in double quotes so that it stays one
// argument.
std::string registryEditorArgument(const std::string &registryFile) {
    char shortPath[paths::kPathBufferSize];
    const DWORD length = win::GetShortPathNameA(registryFile.c_str(), shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath) {
        return quoted(registryFile);
    }
    return hasBlank(shortPath) ? quoted(shortPath) : std::string(shortPath);
}

} // namespace

extern "C" RADOZAVU_API(int) HKPerformPostInstallActions(const char *setupFolder,
                                                         const char *targetFolder) {
    if (setupFolder == nullptr || targetFolder == nullptr) {
        return 0;
    }
    const std::string configurationFile = paths::joinOnce(setupFolder, config::kFileName);
    if (!paths::fits(configurationFile)) {
        return 1; // no path of the setup folder fits: both steps are left out
    }

    std::string preferencesFile;
    const std::string installedPreferences =
        paths::joinOnce(targetFolder, config::kInitialPreferencesFileName);
    if (fileSetting(configurationFile, config::kInitialPreferencesKey,
                    paths::joinOnce(setupFolder, config::kInitialPreferencesFileName),
                    preferencesFile) &&
        exists(preferencesFile) && paths::fits(installedPreferences)) {
        win::CopyFileA(preferencesFile.c_str(), installedPreferences.c_str(), FALSE);
    }

    std::string registryFile;
    if (fileSetting(configurationFile, config::kInitialRegistryKey,
                    paths::joinOnce(setupFolder, config::kInitialRegistryFileName), registryFile) &&
        exists(registryFile)) {
        // The post-install step starts the editor through the shell and takes
        // the file as a parameter; ExecInitialRegFileEX, below, runs it
        // directly. Both are the forms installers of the product have always
        // used, so each keeps its own; both name the editor by its full path.
        const std::string parameters = "/s /i " + registryEditorArgument(registryFile);
        actions::ShellRunAndWait(actions::SystemProgramPath(kRegistryEditor), parameters.c_str());
    }
    return 1;
}

extern "C" RADOZAVU_API(int) MoveInitialPreferencesFileEX(const char *preferencesFile,
                                                          const char *destinationFolder) {
    if (preferencesFile == nullptr || destinationFolder == nullptr || !found(preferencesFile)) {
        return 0;
    }
    const std::string destination =
        paths::append(destinationFolder, config::kInitialPreferencesFileName);
    if (paths::fits(destination)) {
        win::CopyFileA(preferencesFile, destination.c_str(), FALSE);
    }
    return 0;
}

extern "C" RADOZAVU_API(int) MoveAllINIFilesEX(const char *sourceFolder,
                                               const char *destinationFolder) {
    if (sourceFolder == nullptr || destinationFolder == nullptr) {
        return 0;
    }
    const std::string pattern = paths::append(sourceFolder, "*.ini");
    WIN32_FIND_DATAA data;
    const handles::UniqueFindHandle search(
        paths::fits(pattern) ? win::FindFirstFileA(pattern.c_str(), &data) : INVALID_HANDLE_VALUE);
    if (!search) {
        return 0;
    }
    do {
        const std::string source = paths::append(sourceFolder, data.cFileName);
        const std::string destination = paths::append(destinationFolder, data.cFileName);
        if (paths::fits(source) && paths::fits(destination)) {
            win::CopyFileA(source.c_str(), destination.c_str(), FALSE);
        }
    } while (win::FindNextFileA(search.get(), &data));
    return 1;
}

extern "C" RADOZAVU_API(int) ExecInitialRegFileEX(const char *registryFile) {
    if (registryFile == nullptr || !found(registryFile)) {
        return 1;
    }
    return actions::RunAndWait(actions::SystemProgramPath(kRegistryEditor),
                               "/s /i " + quoted(registryFile));
}
