#include "product_programs.h"

#include <filesystem>
#include <fstream>
#include <string>

#include "emulator/machine.h"
#include "emulator/registry/wow64_registry.h"

namespace host {
namespace {

constexpr UINT kExitRequest = 0x101D;

// Where the 32-bit installer put the product: its Program Files folder (on
// a 64-bit Windows, C:\Program Files (x86)).
std::string installFolder() {
    return emu::machine().environment["ProgramFiles"] + "\\Brevanta\\Quillane";
}

// Starts a program of the install folder with its windows, each closing
// (and ending the program) a while after the message it obeys.
DWORD startProgram(const std::string &file, const std::vector<std::string> &titles, UINT closesOn,
                   std::uint64_t delay) {
    const auto process = emu::startProcess(installFolder() + "\\" + file);
    for (const std::string &title : titles) {
        emu::closeWindowOn(emu::createWindow(title, process->id), closesOn, delay, true);
    }
    return process->id;
}

void writeProductFile(const std::string &name) {
    std::string host;
    emu::hostPath(installFolder() + "\\" + name, host);
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    std::ofstream(host, std::ios::binary) << "MZ";
}

} // namespace

void startProductPrograms() {
    emu::Machine &m = emu::machine();
    // The installer's keys, in its (32-bit) view of the registry.
    HKEY root = HKEY_LOCAL_MACHINE;
    const std::string product =
        emu::storedKeyPath(root, "Software\\Brevanta\\Quillane", emu::uses32BitView(0));
    m.registry.setString(HKEY_LOCAL_MACHINE, product + "\\Current Version", "Install Location",
                         installFolder() + "\\");
    m.registry.setString(HKEY_LOCAL_MACHINE, product + "\\Current Version", "ProductName",
                         "Quillane");
    for (const char *file : {"QLNCLIENT.EXE", "QLNSRVCON.EXE", "QLNSRVAGT.EXE", "QLNAGENT.EXE",
                             "QLNSYNCService.exe", "BIN\\MFC42.DLL"}) {
        writeProductFile(file);
    }

    const DWORD client = startProgram(
        "QLNCLIENT.EXE", {"Quillane - Project Manager", "Synchronization"}, kExitRequest, 400);
    emu::createSemaphore("ZEP", 0, 1, client);
    startProgram("QLNSRVCON.EXE", {"Quillane Synchronization Server Console 5.0"}, WM_CLOSE, 50);
    startProgram("QLNSRVAGT.EXE", {"Quillane Synchronization Server Agent 5.0"}, WM_CLOSE, 50);
    startProgram("QLNAGENT.EXE", {"Quillane Agent"}, WM_CLOSE, 0);

    for (const char *dependent : {"QLNSyncIndex50", "QLNSyncWatch50"}) {
        emu::Service &service = m.services.add(dependent);
        service.displayName = std::string("Quillane ") + dependent;
        service.stopDuration = 800;
        service.stopWaitHint = 300;
    }
    emu::Service &server = m.services.add("QLNSyncServer50");
    server.displayName = "Quillane Synchronization Server 5.0";
    server.stopDuration = 1500;
    server.stopWaitHint = 500;
    server.dependents = {"QLNSyncIndex50", "QLNSyncWatch50"};
    emu::Service &alert = m.services.add("QLNAlert50");
    alert.displayName = "Quillane Alert Service 5.0";
}

} // namespace host
