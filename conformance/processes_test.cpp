// Processes, waits, libraries, programs started directly and through the
// shell, and named semaphores.
#include <cstdint>

#include "case.h"
#include "platform/file_operations.h"
#include "platform/kernel.h"
#include "platform/libraries.h"
#include "platform/module_file.h"
#include "platform/processes.h"
#include "platform/programs.h"
#include "platform/semaphores.h"
#include "platform/system.h"
#include "standins.h"

namespace conformance {
namespace {

using Processes = Case;

constexpr DWORD kShortWaitMs = 50;
constexpr DWORD kErrorModNotFound = 126;
constexpr DWORD kErrorProcNotFound = 127;
constexpr DWORD kErrorNoAssociation = 1155;

// A started program's handles, closed (the program ended first) when it goes.
struct Started {
    PROCESS_INFORMATION info{};
    ~Started() {
        if (info.hProcess != nullptr) {
            win::TerminateProcess(info.hProcess, 0);
            win::WaitForSingleObject(info.hProcess, INFINITE);
            win::CloseHandle(info.hThread);
            win::CloseHandle(info.hProcess);
        }
    }
};

// A program's path in quotes, then its arguments.
std::string quoted(const std::string &program, const char *arguments = "") {
    std::string commandLine = "\"";
    commandLine += program;
    commandLine += "\"";
    commandLine += arguments;
    return commandLine;
}

BOOL start(std::string commandLine, Started &started) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return win::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &started.info);
}

TEST_F(Processes, AStartedProgramRunsUntilTerminatedAndItsHandlesAreSignalledThen) {
    Started started;
    ASSERT_TRUE(start(quoted(standins::programFile()), started)) << win::GetLastError();
    ASSERT_NE(started.info.hProcess, nullptr);
    ASSERT_NE(started.info.hThread, nullptr);
    EXPECT_NE(started.info.dwProcessId, 0u);
    EXPECT_EQ(win::WaitForSingleObject(started.info.hProcess, kShortWaitMs), WAIT_TIMEOUT);
    EXPECT_EQ(win::WaitForSingleObject(started.info.hThread, 0), WAIT_TIMEOUT);

    win::SetLastError(0xdeadbeef);
    EXPECT_TRUE(win::TerminateProcess(started.info.hProcess, 3));
    EXPECT_EQ(win::WaitForSingleObject(started.info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(win::WaitForSingleObject(started.info.hThread, INFINITE), WAIT_OBJECT_0);
    // An ended process cannot be ended again.
    win::SetLastError(0xdeadbeef);
    const BOOL again = win::TerminateProcess(started.info.hProcess, 0);
    if (knownWineDifference("TerminateProcess succeeds on a process that has ended")) {
        EXPECT_TRUE(again);
    } else {
        EXPECT_FALSE(again);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    }
}

TEST_F(Processes, AnUnquotedProgramPathWithBlanksIsFoundBeforeItsArguments) {
    const std::string folder = path("Stand In");
    writeFile(folder + "\\readme.txt", "");
    ASSERT_TRUE(
        win::CopyFileA(standins::programFile().c_str(), (folder + "\\program.exe").c_str(), FALSE));
    Started started;
    ASSERT_TRUE(start(folder + "\\program.exe --no-such-switch", started)) << win::GetLastError();
    EXPECT_EQ(win::WaitForSingleObject(started.info.hProcess, kShortWaitMs), WAIT_TIMEOUT);
}

TEST_F(Processes, ProgramsThatCannotStartAreRefused) {
    writeFile(path("readme.txt"), "not a program\r\n");
    const struct {
        std::string commandLine;
        DWORD error;
    } cases[] = {
        {path("missing.exe"), ERROR_FILE_NOT_FOUND},
        {quoted(path("missing folder\\tool.exe"), " --quiet"), ERROR_FILE_NOT_FOUND},
        {"radozavu-no-such-program", ERROR_FILE_NOT_FOUND},
        {path("readme.txt"), ERROR_BAD_EXE_FORMAT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.commandLine);
        Started started;
        win::SetLastError(0xdeadbeef);
        EXPECT_FALSE(start(c.commandLine, started));
        EXPECT_EQ(win::GetLastError(), c.error);
        EXPECT_EQ(started.info.hProcess, nullptr);
    }
}

// The folder of the suite's own program file.
std::string programFolder() {
    char program[MAX_PATH];
    const DWORD length = win::GetModuleFileNameA(nullptr, program, sizeof program);
    const std::string file(program, length < sizeof program ? length : 0);
    return file.substr(0, file.rfind('\\'));
}

// CreateProcessA looks for a bare name in the folder of the program that
// starts it and in the current folder, as well as in the system's folders: a
// program planted in either of the first two is started by its bare name.
TEST_F(Processes, ABareNameIsLookedForInTheProgramsFolderAndTheCurrentFolder) {
    constexpr const char *kName = "rzsearch.exe";
    const struct {
        std::string where; // "": planted nowhere
        DWORD error;       // 0: started
    } cases[] = {
        {programFolder() + "\\" + kName, 0},
        {kName, 0}, // relative: in the current folder
        {"", ERROR_FILE_NOT_FOUND},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.where);
        if (!c.where.empty()) {
            ASSERT_TRUE(win::CopyFileA(standins::programFile().c_str(), c.where.c_str(), FALSE));
        }
        {
            Started started;
            win::SetLastError(0xdeadbeef);
            EXPECT_EQ(start(kName, started), c.error == 0 ? TRUE : FALSE);
            if (c.error != 0) {
                EXPECT_EQ(win::GetLastError(), c.error);
            }
        }
        if (!c.where.empty()) {
            EXPECT_TRUE(win::DeleteFileA(c.where.c_str()));
        }
    }
}

TEST_F(Processes, OpenProcessGivesARunningProgramByItsIdOnly) {
    standins::Program program;
    win::SetLastError(0xdeadbeef);
    const HANDLE opened = win::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, program.id());
    ASSERT_NE(opened, nullptr) << win::GetLastError();
    EXPECT_EQ(win::WaitForSingleObject(opened, kShortWaitMs), WAIT_TIMEOUT);
    EXPECT_TRUE(win::TerminateProcess(opened, 7));
    EXPECT_EQ(win::WaitForSingleObject(program.process(), INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(win::CloseHandle(opened));

    win::SetLastError(0xdeadbeef);
    EXPECT_EQ(win::OpenProcess(SYNCHRONIZE, FALSE, 0), nullptr);
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

TEST_F(Processes, AWaitOnNoObjectFails) {
    win::SetLastError(0xdeadbeef);
    EXPECT_EQ(win::WaitForSingleObject(reinterpret_cast<HANDLE>(std::uintptr_t{0x7ff0}), 0),
              WAIT_FAILED);
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(Processes, TheShellStartsAProgramAndGivesItsProcessWhenAsked) {
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    const std::string program = standins::programFile();
    execute.lpFile = program.c_str();
    execute.lpParameters = "--no-such-switch";
    execute.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(win::ShellExecuteExA(&execute)) << win::GetLastError();
    EXPECT_GT(reinterpret_cast<std::intptr_t>(execute.hInstApp), 32);
    ASSERT_NE(execute.hProcess, nullptr);
    EXPECT_EQ(win::WaitForSingleObject(execute.hProcess, kShortWaitMs), WAIT_TIMEOUT);
    EXPECT_TRUE(win::TerminateProcess(execute.hProcess, 0));
    EXPECT_EQ(win::WaitForSingleObject(execute.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(win::CloseHandle(execute.hProcess));
}

TEST_F(Processes, TheShellRefusesWhatItCannotStart) {
    writeFile(path("settings.radozavu-unknown"), "data\r\n");
    const std::string missing = path("missing.exe");
    const std::string unknown = path("settings.radozavu-unknown");
    const struct {
        const char *file;
        std::intptr_t shellError; // hInstApp
        DWORD error;
    } cases[] = {
        {missing.c_str(), SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
        {unknown.c_str(), SE_ERR_NOASSOC, kErrorNoAssociation},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        SHELLEXECUTEINFOA execute{};
        execute.cbSize = sizeof execute;
        // No box telling the user: the case is the user.
        execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        execute.lpFile = c.file;
        win::SetLastError(0xdeadbeef);
        EXPECT_FALSE(win::ShellExecuteExA(&execute));
        if (c.shellError == SE_ERR_NOASSOC &&
            knownWineDifference("ShellExecuteExA runs a file of no known type as a program: "
                                "ERROR_BAD_EXE_FORMAT rather than ERROR_NO_ASSOCIATION")) {
            EXPECT_EQ(win::GetLastError(), DWORD{ERROR_BAD_EXE_FORMAT});
        } else {
            EXPECT_EQ(win::GetLastError(), c.error);
        }
        EXPECT_EQ(reinterpret_cast<std::intptr_t>(execute.hInstApp), c.shellError);
        EXPECT_EQ(execute.hProcess, nullptr);
    }
}

TEST_F(Processes, ALibraryIsLoadedOnceAndItsEntriesFoundByName) {
    const std::string file = standins::libraryFile();
    win::SetLastError(0xdeadbeef);
    const HMODULE library = win::LoadLibraryExA(file.c_str(), nullptr, 0);
    ASSERT_NE(library, nullptr) << win::GetLastError();
    EXPECT_EQ(win::LoadLibraryExA(file.c_str(), nullptr, 0), library);
    EXPECT_NE(win::GetProcAddress(library, "HKPopulateWriteMonitorPaths"), nullptr);
    win::SetLastError(0xdeadbeef);
    EXPECT_EQ(win::GetProcAddress(library, "HKNoSuchEntry"), nullptr);
    EXPECT_EQ(win::GetLastError(), kErrorProcNotFound);
}

TEST_F(Processes, LibrariesThatCannotLoadAreRefused) {
    writeFile(path("text.dll"), "not a library\r\n");
    const struct {
        std::string file;
        DWORD error;
    } cases[] = {
        {path("missing.dll"), kErrorModNotFound},
        {path("text.dll"), ERROR_BAD_EXE_FORMAT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::LoadLibraryExA(c.file.c_str(), nullptr, 0), nullptr);
        EXPECT_EQ(win::GetLastError(), c.error);
    }
}

// A library's imports are looked for in the program's folder unless its
// load says otherwise: LOAD_WITH_ALTERED_SEARCH_PATH puts the library's own
// folder in its place, and the safe search flags, which a Windows has where
// kernel32.dll has AddDllDirectory, name the library's folder and System32
// alone. A broken copy of the import beside the program shows which folder
// was taken.
TEST_F(Processes, ALibrarysImportsComeFromTheFoldersItsLoadNames) {
    const HMODULE kernel = win::GetModuleHandleA("kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(win::GetModuleHandleA("KERNEL32"), kernel);
    win::SetLastError(0xdeadbeef);
    EXPECT_EQ(win::GetProcAddress(kernel, "RadozavuNoSuchFunction"), nullptr);
    EXPECT_EQ(win::GetLastError(), kErrorProcNotFound);
    const bool safeSearch = win::GetProcAddress(kernel, "AddDllDirectory") != nullptr;

    const std::string library = standins::importingLibrary();
    const std::string planted = programFolder() + "\\" + standins::kImportedLibrary;
    writeFile(planted, "not a library\r\n");
    // Windows stops at the broken copy; Wine passes over it and finds no
    // other in the program's search.
    const DWORD brokenImport =
        knownWineDifference("a broken library of an imported name is passed over, the search "
                            "goes on")
            ? kErrorModNotFound
            : DWORD{ERROR_BAD_EXE_FORMAT};
    const struct {
        DWORD flags;
        DWORD error; // 0: loaded
    } cases[] = {
        {0, brokenImport},
        {LOAD_WITH_ALTERED_SEARCH_PATH, 0},
        {LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32,
         safeSearch ? 0 : DWORD{ERROR_INVALID_PARAMETER}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flags);
        win::SetLastError(0xdeadbeef);
        const HMODULE loaded = win::LoadLibraryExA(library.c_str(), nullptr, c.flags);
        EXPECT_EQ(loaded != nullptr, c.error == 0);
        if (c.error != 0) {
            EXPECT_EQ(win::GetLastError(), c.error);
        }
    }
    EXPECT_NE(win::GetModuleHandleA(standins::kImportedLibrary), nullptr);
    EXPECT_TRUE(win::DeleteFileA(planted.c_str()));
}

using Semaphores = Case;

TEST_F(Semaphores, CountsWaitsAndNames) {
    win::SetLastError(0xdeadbeef);
    HANDLE first = win::CreateSemaphoreA(nullptr, 1, 1, "RadozavuConformanceZEP");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_SUCCESS});
    // Opening by name keeps the existing counts.
    HANDLE second = win::CreateSemaphoreA(nullptr, 0, 5, "RadozavuConformanceZEP");
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_ALREADY_EXISTS});
    // Names differ by case.
    HANDLE other = win::CreateSemaphoreA(nullptr, 1, 1, "radozavuconformancezep");
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_SUCCESS});
    win::CloseHandle(other);

    EXPECT_EQ(win::WaitForSingleObject(second, 1), WAIT_OBJECT_0);
    EXPECT_EQ(win::WaitForSingleObject(first, 1), WAIT_TIMEOUT);
    LONG previous = -1;
    EXPECT_TRUE(win::ReleaseSemaphore(first, 1, &previous));
    EXPECT_EQ(previous, 0);
    win::SetLastError(0xdeadbeef);
    previous = -1;
    EXPECT_FALSE(win::ReleaseSemaphore(second, 1, &previous));
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_TOO_MANY_POSTS});
    EXPECT_EQ(previous, -1);

    // The name goes with the last handle.
    win::CloseHandle(first);
    win::CloseHandle(second);
    HANDLE fresh = win::CreateSemaphoreA(nullptr, 0, 1, "RadozavuConformanceZEP");
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_SUCCESS});
    win::CloseHandle(fresh);
}

TEST_F(Semaphores, CountsOutOfTheirRangeAreRefused) {
    const struct {
        LONG initial;
        LONG maximum;
    } creations[] = {{0, 0}, {-1, 1}, {2, 1}};
    for (const auto &c : creations) {
        SCOPED_TRACE(testing::Message() << c.initial << "/" << c.maximum);
        win::SetLastError(0xdeadbeef);
        EXPECT_EQ(win::CreateSemaphoreA(nullptr, c.initial, c.maximum, nullptr), nullptr);
        EXPECT_EQ(win::GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    }
    HANDLE semaphore = win::CreateSemaphoreA(nullptr, 0, 2, nullptr);
    ASSERT_NE(semaphore, nullptr);
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::ReleaseSemaphore(semaphore, 3, nullptr));
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_TOO_MANY_POSTS});
    win::CloseHandle(semaphore);
}

} // namespace
} // namespace conformance
