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
#include "base/links.h"
#include "base/mbtext.h"
#include "base/paths.h"
#include "radozavu.h"

namespace {

// The system's registry editor. It is started by its full path from the
// system's folders only: a bare name would also be looked for in the setup
// program's folder and in the current folder, where a user could put a
// program of that name to run with the installer's rights.
constexpr const char *kRegistryEditor = "regedit.exe";

// The path names one file that is there: no pattern that a search would
// match against other names, no folder.
bool isFile(const std::string &path) {
    return paths::namesOneFile(path) && paths::isExistingFile(path);
}

// A file setting of the setup configuration, taken as it stands (no
// environment references expanded), read with room for one byte more than a
// path. The setup configuration may name files of the setup folder only
// (setupFolder ends in its backslash), so that whoever can edit it cannot
// have any other file of the machine copied into the install folder or
// imported into the registry: false for a value outside it, and for one
// longer than a path can be.
bool fileSetting(const std::string &configurationFile, const std::string &setupFolder,
                 const char *key, const char *defaultName, std::string &path) {
    std::string value = config::ReadRawSetting(
        configurationFile, key, (setupFolder + defaultName).c_str(), paths::kMaxPathLength + 2);
    if (!paths::fits(value) || !paths::liesInside(setupFolder, value)) {
        return false;
    }
    path = std::move(value);
    return true;
}

// Copies a file into a folder, replacing the file there, but never through a
// link or junction of that name, which would lead the copy to another file.
void copyInto(const std::string &source, const std::string &folder,
              const std::string &destination) {
    if (!links::reachedThroughLink(folder, destination)) {
        win::CopyFileA(source.c_str(), destination.c_str(), FALSE);
    }
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
    if (setupFolder == nullptr || paths::isNoFolder(targetFolder)) {
        return 0;
    }
    const std::string setupFolderWithBackslash = paths::joinOnce(setupFolder, "");
    const std::string configurationFile = setupFolderWithBackslash + config::kFileName;
    if (!paths::fits(configurationFile)) {
        return 1; // no path of the setup folder fits: both steps are left out
    }

    std::string preferencesFile;
    const std::string installedPreferences =
        paths::joinOnce(targetFolder, config::kInitialPreferencesFileName);
    if (fileSetting(configurationFile, setupFolderWithBackslash, config::kInitialPreferencesKey,
                    config::kInitialPreferencesFileName, preferencesFile) &&
        isFile(preferencesFile) && paths::fits(installedPreferences)) {
        copyInto(preferencesFile, paths::joinOnce(targetFolder, ""), installedPreferences);
    }

    std::string registryFile;
    if (fileSetting(configurationFile, setupFolderWithBackslash, config::kInitialRegistryKey,
                    config::kInitialRegistryFileName, registryFile) &&
        isFile(registryFile)) {
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
    if (preferencesFile == nullptr || paths::isNoFolder(destinationFolder) ||
        !isFile(preferencesFile)) {
        return 0;
    }
    const std::string destination =
        paths::append(destinationFolder, config::kInitialPreferencesFileName);
    if (paths::fits(destination)) {
        copyInto(preferencesFile, destinationFolder, destination);
    }
    return 0;
}

extern "C" RADOZAVU_API(int) MoveAllINIFilesEX(const char *sourceFolder,
                                               const char *destinationFolder) {
    if (sourceFolder == nullptr || paths::isNoFolder(destinationFolder)) {
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
            copyInto(source, destinationFolder, destination);
        }
    } while (win::FindNextFileA(search.get(), &data));
    return 1;
}

extern "C" RADOZAVU_API(int) ExecInitialRegFileEX(const char *registryFile) {
    // A name with a wildcard or a double quote names no file: it is never
    // handed to the editor, whatever a search for it would match.
    if (registryFile == nullptr || !isFile(registryFile)) {
        return 1;
    }
    return actions::RunAndWait(actions::SystemProgramPath(kRegistryEditor),
                               "/s /i " + quoted(registryFile));
}
