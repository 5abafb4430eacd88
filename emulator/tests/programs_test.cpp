// Programs on the emulated machine: the registry editor imports while its
// starter waits, any other program is journalled and runs until it is ended.
// Linux-only: the cases read the machine's journal of started programs and
// imports (conformance/processes_test.cpp: what the seam shows, both platforms).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/handles.h"
#include "platform/kernel.h"
#include "platform/processes.h"
#include "platform/programs.h"
#include "platform/system.h"
#include "support/machine_test.h"

namespace {

class ProgramsTest : public MachineTest {
protected:
    void TearDown() override {
        process.reset();
        thread.reset();
        MachineTest::TearDown();
    }
    // Starts a command line; the handles are owned by process and thread.
    BOOL start(const std::string &commandLine) {
        std::string buffer = commandLine;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        const BOOL ok = win::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0,
                                            nullptr, nullptr, &startup, &started);
        process.reset(started.hProcess);
        thread.reset(started.hThread);
        processId = started.dwProcessId;
        return ok;
    }
    std::string settings(const std::string &value) {
        return "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Brevanta\\Quillane\\Preferences]\r\n"
               "\"Imported\"=\"" +
               value + "\"\r\n";
    }
    std::string imported() {
        return registry().stringValue(HKEY_CURRENT_USER,
                                      "Software\\Brevanta\\Quillane\\Preferences", "Imported");
    }

    handles::UniqueHandle process;
    handles::UniqueHandle thread;
    DWORD processId = 0;
};

TEST_F(ProgramsTest, RegistryEditorImportsWhileItsStarterWaits) {
    writeFile("C:\\Setup Files\\initial.reg", settings("yes"));
    ASSERT_TRUE(start("regedit /s /i \"C:\\Setup Files\\initial.reg\""));
    EXPECT_EQ(imported(), "") << "the editor runs only once time passes";
    EXPECT_EQ(win::WaitForSingleObject(thread.get(), 0), WAIT_TIMEOUT);

    EXPECT_EQ(win::WaitForSingleObject(process.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(imported(), "yes");
    EXPECT_EQ(win::WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0);
    ASSERT_EQ(machine().processes.startedPrograms.size(), 1u);
    const emu::StartedProgram &started = machine().processes.startedPrograms[0];
    EXPECT_EQ(started.startedBy, "CreateProcessA");
    EXPECT_EQ(started.image, "C:\\WINDOWS\\regedit.exe");
    EXPECT_EQ(started.commandLine, "regedit /s /i \"C:\\Setup Files\\initial.reg\"");
    EXPECT_EQ(started.processId, processId);
    EXPECT_EQ(machine().processes.running[processId]->exitCode, 0u);
    ASSERT_EQ(machine().processes.registryImports.size(), 1u);
    EXPECT_EQ(machine().processes.registryImports[0].file, "C:\\Setup Files\\initial.reg");
    EXPECT_TRUE(machine().processes.registryImports[0].imported);
}

TEST_F(ProgramsTest, ShellStartsTheEditorByNameWithAShortPath) {
    writeFile("C:\\Setup Files\\initial.reg", settings("short"));
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.lpFile = "REGEDIT.EXE";
    execute.lpParameters = "/s /i C:\\SETUPF~1\\initial.reg";
    execute.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(win::ShellExecuteExA(&execute));
    process.reset(execute.hProcess);
    EXPECT_GT(reinterpret_cast<std::intptr_t>(execute.hInstApp), 32);
    ASSERT_TRUE(process);
    EXPECT_EQ(win::WaitForSingleObject(process.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(imported(), "short");
    ASSERT_EQ(machine().processes.startedPrograms.size(), 1u);
    EXPECT_EQ(machine().processes.startedPrograms[0].startedBy, "ShellExecuteExA");
    EXPECT_EQ(machine().processes.startedPrograms[0].commandLine,
              "\"C:\\WINDOWS\\REGEDIT.EXE\" /s /i C:\\SETUPF~1\\initial.reg");

    // Without SEE_MASK_NOCLOSEPROCESS no handle comes back.
    execute.fMask = 0;
    ASSERT_TRUE(win::ShellExecuteExA(&execute));
    EXPECT_EQ(execute.hProcess, nullptr);
    machine().kernel.clock.advance(1000);
    EXPECT_EQ(machine().processes.registryImports.size(), 2u);
}

TEST_F(ProgramsTest, EditorRefusesMalformedFilesAndUnknownSwitchesChangingNothing) {
    registry().setString(HKEY_CURRENT_USER, "Software\\Brevanta\\Quillane\\Preferences", "Imported",
                         "before");
    writeFile("C:\\Setup\\broken.reg", settings("after") + "\"Bad\"=dword:xyz\r\n");
    ASSERT_TRUE(start("regedit /s /i C:\\Setup\\broken.reg"));
    win::WaitForSingleObject(process.get(), INFINITE);
    EXPECT_EQ(imported(), "before");
    EXPECT_EQ(machine().processes.running[processId]->exitCode, 1u);
    ASSERT_EQ(machine().processes.registryImports.size(), 1u);
    EXPECT_FALSE(machine().processes.registryImports[0].imported);
    EXPECT_NE(machine().processes.registryImports[0].problem.find("line 4"), std::string::npos);

    writeFile("C:\\Setup\\good.reg", settings("after"));
    ASSERT_TRUE(start("regedit /e C:\\Setup\\good.reg"));
    win::WaitForSingleObject(process.get(), INFINITE);
    EXPECT_EQ(imported(), "before");
    EXPECT_EQ(machine().processes.registryImports.back().problem, "unknown switch /e");

    ASSERT_TRUE(start("regedit /s C:\\Setup\\missing.reg"));
    win::WaitForSingleObject(process.get(), INFINITE);
    EXPECT_EQ(machine().processes.registryImports.back().problem, "cannot open the file");
}

TEST_F(ProgramsTest, OtherProgramsAreJournalledAndRunUntilEnded) {
    writeFile("C:\\Program Files\\Tool\\tool.exe", "");
    ASSERT_TRUE(start("C:\\Program Files\\Tool\\tool.exe --quiet"));
    ASSERT_EQ(machine().processes.startedPrograms.size(), 1u);
    EXPECT_EQ(machine().processes.startedPrograms[0].image, "C:\\Program Files\\Tool\\tool.exe");
    EXPECT_TRUE(machine().processes.registryImports.empty());

    EXPECT_EQ(win::WaitForSingleObject(process.get(), 5000), WAIT_TIMEOUT);
    const DWORD id = processId;
    machine().kernel.clock.schedule(machine().kernel.clock.now() + 3000,
                                    [id] { emu::endProcess(id, 7); });
    EXPECT_EQ(win::WaitForSingleObject(process.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(machine().processes.running[id]->exitCode, 7u);

    // A program found on the search path by its bare name.
    writeFile("C:\\WINDOWS\\system32\\notepad.exe", "");
    ASSERT_TRUE(start("notepad readme.txt"));
    EXPECT_EQ(machine().processes.startedPrograms.back().image,
              "C:\\WINDOWS\\system32\\notepad.exe");
    emu::endProcess(processId);
}

TEST_F(ProgramsTest, ProgramsThatCannotStartAreRefused) {
    EXPECT_FALSE(start("C:\\nowhere\\tool.exe"));
    EXPECT_EQ(win::GetLastError(), ERROR_FILE_NOT_FOUND);
    writeFile("C:\\Setup\\readme.txt", "");
    EXPECT_FALSE(start("C:\\Setup\\readme.txt"));
    EXPECT_EQ(win::GetLastError(), ERROR_BAD_EXE_FORMAT);
    std::filesystem::remove(hostPath("C:\\WINDOWS\\regedit.exe"));
    EXPECT_FALSE(start("regedit /s /i C:\\Setup\\readme.txt"));
    EXPECT_TRUE(machine().processes.startedPrograms.empty());

    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.lpFile = "REGEDIT.EXE";
    EXPECT_FALSE(win::ShellExecuteExA(&execute));
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(execute.hInstApp), SE_ERR_FNF);
    EXPECT_EQ(execute.hProcess, nullptr);
    execute.lpFile = "C:\\Setup\\readme.txt";
    EXPECT_FALSE(win::ShellExecuteExA(&execute));
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(execute.hInstApp), SE_ERR_NOASSOC);
    execute.cbSize = 40;
    EXPECT_FALSE(win::ShellExecuteExA(&execute));
    EXPECT_TRUE(machine().processes.startedPrograms.empty());
}

} // namespace
