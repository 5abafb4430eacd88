// Programs started on the emulated machine, with CreateProcessA and through
// the shell. Every start is journalled; the system's registry editor really
// imports the files it is given, and any other program simply runs until a
// test ends it (or schedules its end on the clock).
#include <algorithm>
#include <utility>
#include <vector>

#include "emulator/case_less.h"
#include "emulator/files/file_system.h"
#include "emulator/files/files_internal.h"
#include "emulator/kernel/kernel_objects.h"
#include "emulator/processes/process_state.h"
#include "emulator/processes/registry_editor.h"
#include "emulator/processes/search_path.h"
#include "emulator/system/system_state.h"
#include "emulator/text.h"
#include "emulator/wow64/wow64.h"
#include "platform/programs.h"
#include "platform/system.h"

namespace emu {
namespace {

// ShellExecuteExA's hInstApp when the program was started.
constexpr LONG_PTR kShellStarted = 33;

// The primary thread of a process: signalled once the process has ended.
struct Thread : KernelObject {
    explicit Thread(std::shared_ptr<Process> of) : process(std::move(of)) {}
    std::shared_ptr<Process> process;
    [[nodiscard]] bool signaled() const override { return process->exited; }
};

BOOL failWith(DWORD code) {
    win::SetLastError(code);
    return FALSE;
}

bool hasExtension(const std::string &path) { return lastName(path).find('.') != std::string::npos; }

bool isProgramFile(const std::string &path) {
    const std::string name = lastName(path);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos) {
        return false;
    }
    static const char *const kProgramExtensions[] = {".exe", ".com", ".bat", ".cmd"};
    const std::string extension = name.substr(dot);
    return std::any_of(std::begin(kProgramExtensions), std::end(kProgramExtensions),
                       [&](const char *known) { return equalNoCase(extension, known); });
}

// Finds a program file: a name with a folder is taken as it stands; a bare
// name is looked for in the first folders (CreateProcessA's: the program's
// folder, then the current one; the shell's: the folder it is given or the
// current one), then the system folder, the Windows folder and the folders
// of PATH. ".exe" is added to a name without an extension. "" when not found.
std::string findProgram(const std::string &name, const std::vector<std::string> &firstFolders) {
    const std::string file = hasExtension(name) ? name : name + ".exe";
    if (namesAFolder(file)) {
        return isFile(file) ? file : std::string();
    }
    std::vector<std::string> folders = firstFolders;
    folders.push_back(systemFolder());
    folders.push_back(system().windowsFolder);
    for (const std::string &folder : pathVariableFolders()) {
        folders.push_back(folder);
    }
    return findInFolders(file, folders);
}

// The text of a command line after its first word, the program's name: a
// quoted name ends at its closing quote, an unquoted one at the first blank.
std::string afterProgramName(const std::string &commandLine) {
    if (!commandLine.empty() && commandLine[0] == '"') {
        const auto close = commandLine.find('"', 1);
        return close == std::string::npos ? std::string() : commandLine.substr(close + 1);
    }
    const auto blank = commandLine.find_first_of(" \t");
    return blank == std::string::npos ? std::string() : commandLine.substr(blank);
}

// Finds the program a command line starts. A quoted name ends at its closing
// quote. An unquoted one ends at a blank: the first blank before which the
// text names a program (so an unquoted C:\Program Files\App\app.exe is
// found, as Windows finds it). arguments is the text after the name.
bool findCommandProgram(const std::string &commandLine, std::string &program,
                        std::string &arguments) {
    const std::vector<std::string> folders = {programFolder(), files().currentDirectory};
    if (!commandLine.empty() && commandLine[0] == '"') {
        program = findProgram(commandLine.substr(1, commandLine.find('"', 1) - 1), folders);
        arguments = afterProgramName(commandLine);
        return !program.empty();
    }
    for (std::size_t end = 0;; ++end) {
        end = commandLine.find_first_of(" \t", end);
        const std::string name = commandLine.substr(0, end);
        program = name.empty() ? std::string() : findProgram(name, folders);
        if (!program.empty()) {
            arguments = end == std::string::npos ? std::string() : commandLine.substr(end);
            return true;
        }
        if (end == std::string::npos) {
            return false;
        }
    }
}

bool isProgram(const std::string &program, const std::string &path) {
    std::string host;
    std::string programHost;
    return hostPath(program, host) && hostPath(path, programHost) && host == programHost;
}

// A program starts under its real path: one named in System32 by the 32-bit
// library on a 64-bit machine is the 32-bit one in SysWOW64.
std::shared_ptr<Process> launch(StartedProgram started, const std::string &arguments) {
    started.image = redirectedPath(started.image);
    auto process = startProcess(started.image);
    started.processId = process->id;
    processes().startedPrograms.push_back(started);
    if (isProgram(started.image, registryEditorPath())) {
        runRegistryEditor(process, arguments, false);
    } else if (const std::string wow64System = wow64SystemFolder();
               !wow64System.empty() && isProgram(started.image, wow64System + "\\regedit.exe")) {
        runRegistryEditor(process, arguments, true);
    }
    return process;
}

bool isKnownVerb(const char *verb) {
    return verb == nullptr || verb[0] == '\0' || compareTextNoCase(verb, "open") == 0 ||
           compareTextNoCase(verb, "runas") == 0;
}

} // namespace

std::string registryEditorPath() { return system().windowsFolder + "\\regedit.exe"; }

} // namespace emu

namespace win {

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                    LPSECURITY_ATTRIBUTES /*processAttributes*/,
                    LPSECURITY_ATTRIBUTES /*threadAttributes*/, BOOL /*inheritHandles*/,
                    DWORD /*creationFlags*/, LPVOID /*environment*/, LPCSTR /*currentDirectory*/,
                    LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation) {
    if (startupInfo == nullptr || processInformation == nullptr ||
        (applicationName == nullptr && commandLine == nullptr)) {
        return emu::failWith(ERROR_INVALID_PARAMETER);
    }
    const std::string command = commandLine != nullptr ? commandLine : "";
    std::string program;
    std::string arguments;
    if (applicationName != nullptr) {
        // The program is named exactly; the command line is passed whole,
        // its first word standing for the program's name.
        program = emu::isFile(applicationName) ? applicationName : "";
        arguments = emu::afterProgramName(command);
    } else if (!emu::findCommandProgram(command, program, arguments)) {
        program.clear();
    }
    if (program.empty()) {
        return emu::failWith(ERROR_FILE_NOT_FOUND);
    }
    if (!emu::isProgramFile(program)) {
        return emu::failWith(ERROR_BAD_EXE_FORMAT);
    }
    auto process =
        emu::launch(emu::StartedProgram{"CreateProcessA", program, command, "", 0}, arguments);
    processInformation->hProcess = emu::kernel().handles.add(process);
    processInformation->hThread = emu::kernel().handles.add(std::make_shared<emu::Thread>(process));
    processInformation->dwProcessId = process->id;
    processInformation->dwThreadId = process->id + 1;
    return TRUE;
}

BOOL ShellExecuteExA(LPSHELLEXECUTEINFOA info) {
    if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFOA)) {
        return emu::failWith(ERROR_ACCESS_DENIED);
    }
    info->hProcess = nullptr;
    const auto fail = [info](int shellError, DWORD code) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<LONG_PTR>(shellError));
        return emu::failWith(code);
    };
    if (info->lpFile == nullptr || info->lpFile[0] == '\0') {
        return fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    }
    const std::string folder =
        info->lpDirectory != nullptr ? info->lpDirectory : emu::files().currentDirectory;
    const std::string program = emu::findProgram(info->lpFile, {folder});
    if (program.empty()) {
        return fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    }
    if (!emu::isProgramFile(program) || !emu::isKnownVerb(info->lpVerb)) {
        return fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
    }
    const std::string parameters = info->lpParameters != nullptr ? info->lpParameters : "";
    const std::string command =
        "\"" + program + "\"" + (parameters.empty() ? "" : " " + parameters);
    auto process = emu::launch(emu::StartedProgram{"ShellExecuteExA", program, command,
                                                   info->lpVerb != nullptr ? info->lpVerb : "", 0},
                               parameters);
    info->hInstApp = reinterpret_cast<HINSTANCE>(emu::kShellStarted);
    if ((info->fMask & SEE_MASK_NOCLOSEPROCESS) != 0) {
        info->hProcess = emu::kernel().handles.add(process);
    }
    return TRUE;
}

} // namespace win
