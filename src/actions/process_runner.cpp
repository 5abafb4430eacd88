#include "actions/process_runner.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/handles.h"
#include "base/paths.h"
#include "platform/processes.h"
#include "platform/programs.h"

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(STARTUPINFOA) == 68, "STARTUPINFOA is 68 bytes on 32-bit Windows");
static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "SHELLEXECUTEINFOA is 60 bytes on 32-bit Windows");
#endif

namespace actions {
namespace {
// CreateProcessA may write into the command line; it gets a copy in a
// buffer of at least a path buffer's size.
constexpr std::size_t kCommandLineBufferSize = paths::kPathBufferSize;
} // namespace

int RunAndWait(const char *commandLine) {
    const std::size_t length = std::strlen(commandLine);
    std::vector<char> buffer(std::max(kCommandLineBufferSize, length + 1), '\0');
    std::memcpy(buffer.data(), commandLine, length);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!win::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &started)) {
        return 0;
    }
    const handles::UniqueHandle process(started.hProcess);
    const handles::UniqueHandle thread(started.hThread);
    win::WaitForSingleObject(process.get(), INFINITE);
    return 1;
}

void ShellRunAndWait(const char *program, const char *parameters) {
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.hwnd = nullptr;
    execute.lpVerb = nullptr;
    execute.lpFile = program;
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
