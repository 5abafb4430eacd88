#include "product_programs.h"

#include <filesystem>
#include <fstream>
#include <string>

#include "emulator/machine.h"
#include "emulator/wow64/registry_views.h"
#include "installed_product.h"

namespace host {
namespace {

// Where the 32-bit installer put the product.
std::string installFolder() {
    return emu::machine().system.environment["ProgramFiles"] + product::kFolderBelowProgramFiles;
}

// Starts a program of the install folder with its windows, each closing
// (and ending the program) a while after the message it obeys.
void startProgram(const product::Program &program) {
    const auto process = emu::startProcess(installFolder() + "\\" + program.file);
    for (const char *title : program.titles) {
        emu::closeWindowOn(emu::createWindow(title, process->id), program.closesOn, program.closeMs,
                           true);
    }
    if (program.holdsZep) {
        emu::createSemaphore("ZEP", 0, 1, process->id);
    }
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
    // The installer's key, in its (32-bit) view of the registry.
    HKEY root = HKEY_LOCAL_MACHINE;
    const std::string key = emu::storedKeyPath(root, product::kKey, emu::uses32BitView(0));
    m.registry.setString(HKEY_LOCAL_MACHINE, key, "Install Location", installFolder() + "\\");
    m.registry.setString(HKEY_LOCAL_MACHINE, key, "ProductName", product::kProductName);
    for (const product::Program &program : product::kPrograms) {
        writeProductFile(program.file);
    }
    writeProductFile(product::kServiceProgram);
    writeProductFile(product::kOldLibrary);
    for (const product::Program &program : product::kPrograms) {
        startProgram(program);
    }
    for (const product::Service &service : product::kServices) {
        emu::Service &added = m.services.add(service.name);
        added.displayName = service.displayName;
        added.stopDuration = service.stopMs;
        added.stopWaitHint = service.stopWaitHint;
        if (*service.dependsOn != '\0') {
            m.services.find(service.dependsOn)->dependents.emplace_back(service.name);
        }
    }
}

} // namespace host
