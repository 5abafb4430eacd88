// The parts of the stand-ins that are the same on every platform.
#include <gtest/gtest.h>

#include "platform/kernel.h"
#include "platform/processes.h"
#include "platform/programs.h"
#include "platform/system.h"
#include "standins.h"

namespace conformance::standins {

Program::Program(const std::vector<std::string> &titles) {
    std::string commandLine = "\"";
    commandLine += programFile();
    commandLine += '"';
    for (const std::string &title : titles) {
        commandLine += " \"";
        commandLine += title;
        commandLine += '"';
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!win::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &started_)) {
        ADD_FAILURE() << "the stand-in did not start: " << win::GetLastError();
        return;
    }
    shown_ = showsWindows(started_.dwProcessId, titles);
}

Program::~Program() {
    if (started_.hProcess == nullptr) {
        return;
    }
    if (win::WaitForSingleObject(started_.hProcess, 0) != WAIT_OBJECT_0) {
        win::TerminateProcess(started_.hProcess, 0);
        win::WaitForSingleObject(started_.hProcess, INFINITE);
    }
    win::CloseHandle(started_.hThread);
    win::CloseHandle(started_.hProcess);
}

} // namespace conformance::standins
