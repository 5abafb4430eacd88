#include "actions/process_runner.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/handles.h"
#include "base/paths.h"
#include "platform/processes.h"
#include "platform/programs.h"
#include "platform/system_folders.h"

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA is 68 bytes on 32-bit Windows");
static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "SHELLEXECUTEINFOA is 60 bytes on 32-bit Windows");
#endif

namespace actions {
namespace {
// CreateProcessA may write into the command line; it gets a copy in a
// buffer of at least a path buffer's size.
constexpr std::size_t kCommandLineBufferSize = paths::kPathBufferSize;

// GetSystemDirectoryA or GetWindowsDirectoryA, which share one form.
using FolderQuery = decltype(&win::GetSystemDirectoryA);

// The folder a folder query writes into a path buffer; "" when it fails or
// does not fit.
std::string systemFolderText(FolderQuery query) {
    char folder[paths::kPathBufferSize];
    const UINT length = query(folder, sizeof folder);
    return length == 0 || length >= sizeof folder ? std::string() : std::string(folder, length);
}

} // namespace

std::string SystemProgramPath(const char *fileName) {
    for (const FolderQuery query : {&win::GetSystemDirectoryA, &win::GetWindowsDirectoryA}) {
        const std::string folder = systemFolderText(query);
        if (folder.empty()) {
            continue;
        }
        std::string program = paths::joinOnce(folder.c_str(), fileName);
        if (paths::fits(program) && paths::isExistingFile(program)) {
            return program;
        }
    }
    return {};
}

int RunAndWait(const std::string &program, const std::string &arguments) {
    if (program.empty()) {
        return 0;
    }
    const std::string commandLine = "\"" + program + "\" " + arguments;
    std::vector<char> buffer(std::max(kCommandLineBufferSize, commandLine.size() + 1), '\0');
    std::memcpy(buffer.data(), commandLine.c_str(), commandLine.size());

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!win::CreateProcessA(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &started)) {
        return 0;
    }
    const handles::UniqueHandle process(started.hProcess);
    const handles::UniqueHandle thread(started.hThread);
    win::WaitForSingleObject(process.get(), INFINITE);
    return 1;
}

void ShellRunAndWait(const std::string &program, const char *parameters) {
    if (program.empty()) {
        return;
    }
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.hwnd = nullptr;
    execute.lpVerb = nullptr;
    execute.lpFile = program.c_str();
    execute.lpParameters = parameters;
    execute.lpDirectory = nullptr;
    execute.nShow = SW_SHOWNORMAL;
    win::ShellExecuteExA(&execute);
    const handles::UniqueHandle process(execute.hProcess);
    if (process) {
        win::WaitForSingleObject(process.get(), INFINITE);
    }
}

} // namespace actions
