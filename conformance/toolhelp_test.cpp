// The list of running processes: a program that runs is listed by its id
// with the file name of its program; one that has ended is not.
#include <cctype>
#include <string>

#include "case.h"
#include "platform/kernel.h"
#include "platform/libraries.h"
#include "platform/processes.h"
#include "platform/system.h"
#include "platform/toolhelp.h"
#include "standins.h"

namespace conformance {
namespace {

using ToolHelp = Case;

std::string lower(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The file name a snapshot gives for a process; "" when it is not listed.
std::string listedProgram(DWORD processId) {
    const HANDLE snapshot = win::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
    std::string found;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = win::Process32First(snapshot, &entry); more != FALSE;
         more = win::Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == processId) {
            found = entry.szExeFile;
        }
    }
    EXPECT_EQ(win::GetLastError(), DWORD{ERROR_NO_MORE_FILES});
    win::CloseHandle(snapshot);
    const std::string::size_type separator = found.rfind('\\');
    return lower(separator == std::string::npos ? found : found.substr(separator + 1));
}

// Windows 95 and 2000 and later have tool help; the suite's machines all do.
TEST_F(ToolHelp, RunningProgramsAreListedByTheirProgramsFileName) {
    const HMODULE kernel = win::GetModuleHandleA("kernel32.dll");
    for (const char *name : {"CreateToolhelp32Snapshot", "Process32First", "Process32Next"}) {
        EXPECT_NE(win::GetProcAddress(kernel, name), nullptr) << name;
    }
    DWORD ended = 0;
    {
        const standins::Program program({"RADOZAVU Conformance Listed"});
        ASSERT_TRUE(program.shown());
        ended = program.id();
        const std::string file = standins::programFile();
        EXPECT_EQ(listedProgram(program.id()), lower(file.substr(file.rfind('\\') + 1)));
    }
    EXPECT_EQ(listedProgram(ended), "");

    const HANDLE snapshot = win::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 small{};
    small.dwSize = sizeof small - 1;
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::Process32First(snapshot, &small));
    win::CloseHandle(snapshot);
}

} // namespace
} // namespace conformance
