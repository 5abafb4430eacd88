// machine start-product: this computer gets what a machine made with
// --with-product-running has, from the stand-ins built beside the host: the
// product's programs (program_standin.exe under the product's file names,
// with the product's window titles, the client holding its semaphore), its
// server services (service_standin.exe, registered with the service control
// manager and started, two of them depending on the server) and its
// install location in the registry.
#include <windows.h>

#include <iostream>
#include <vector>

#include "base/handles.h"
#include "installed_product.h"
#include "host_machine.h"
#include "windows/user_watcher.h"

namespace host {

std::string programFolder();

std::string machineUsage() {
    return "usage: radozavu machine start-product\n"
           "Installs stand-ins of Quillane on this computer and starts them, as a machine made\n"
           "with --with-product-running has them: the programs QLNCLIENT.EXE, QLNSRVCON.EXE,\n"
           "QLNSRVAGT.EXE and QLNAGENT.EXE in %ProgramFiles%\\Brevanta\\Quillane with their\n"
           "windows, and the services QLNSyncServer50 (with its dependents QLNSyncIndex50 and\n"
           "QLNSyncWatch50) and QLNAlert50. Run it only on a computer made for trying installs\n"
           "(a throwaway virtual machine or Wine prefix).\n";
}
std::string machineSummary() {
    return "  machine start-product\n"
           "                 install stand-ins of Quillane on this computer and start its\n"
           "                 programs and services (a throwaway computer only)\n";
}
const char *const kMachineHelp =
    "The machine is this computer: its registry, files, programs and services. Run\n"
    "scripts only on a computer made for it (a throwaway virtual machine or Wine\n"
    "prefix). The library is RADOZAVU.DLL beside this program.\n";

namespace {

// The product's folder where its 32-bit installer puts it: under the
// Program Files folder a 32-bit process is given (C:\Program Files (x86) on
// a 64-bit Windows).
std::string programFilesFolder() {
    char folder[MAX_PATH];
    const DWORD length = ExpandEnvironmentStringsA("%ProgramFiles%", folder, sizeof folder);
    if (length == 0 || length > sizeof folder || folder[0] == '%') {
        throw HostError("cannot find the Program Files folder (%ProgramFiles%)");
    }
    return folder;
}

std::string installFolder() { return programFilesFolder() + product::kFolderBelowProgramFiles; }

std::string installed(const std::string &file) { return installFolder() + "\\" + file; }

void copyStandIn(const char *standIn, const std::string &file) {
    if (CopyFileA((programFolder() + standIn).c_str(), installed(file).c_str(), FALSE) == FALSE) {
        throw HostError("cannot copy " + std::string(standIn) + " to " + installed(file) +
                        ": error " + std::to_string(GetLastError()));
    }
}

// The stand-in program obeys the message and holds the semaphore as it is
// told on its command line.
void startProgram(const product::Program &program) {
    std::string line(1, '"');
    line += installed(program.file);
    line += "\" --no-time-limit ";
    line += program.holdsZep ? "--hold-zep" : "";
    for (const char *title : program.titles) {
        line += std::string(" \"") + title + "\"";
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &started) == FALSE) {
        throw HostError("cannot start " + installed(program.file) + ": error " +
                        std::to_string(GetLastError()));
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    // Ready once its windows exist.
    for (const char *title : program.titles) {
        for (const DWORD start = GetTickCount();
             FindWindowA(nullptr, title) == nullptr && GetTickCount() - start < kPatienceMs;
             Sleep(20)) {
        }
    }
}

void startService(SC_HANDLE manager, const product::Service &service) {
    std::string command(1, '"');
    command += installed(product::kServiceProgram);
    command += "\" ";
    command += service.name;
    command += " NUL prompt";
    std::string dependencies = service.dependsOn;
    dependencies.append(2, '\0');
    handles::UniqueServiceHandle handle(CreateServiceA(
        manager, service.name, service.displayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr,
        *service.dependsOn != '\0' ? dependencies.c_str() : nullptr, nullptr, nullptr));
    if (!handle && GetLastError() == ERROR_SERVICE_EXISTS) {
        handle.reset(OpenServiceA(manager, service.name, SERVICE_ALL_ACCESS));
    }
    if (!handle || (StartServiceA(handle.get(), 0, nullptr) == FALSE &&
                    GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)) {
        throw HostError(std::string("cannot start the service ") + service.name + ": error " +
                        std::to_string(GetLastError()));
    }
    SERVICE_STATUS status{};
    for (const DWORD start = GetTickCount();
         QueryServiceStatus(handle.get(), &status) != FALSE &&
         status.dwCurrentState != SERVICE_RUNNING && GetTickCount() - start < kPatienceMs;
         Sleep(20)) {
    }
}

void setInstallLocation() {
    handles::UniqueKey key;
    const std::string location = installFolder() + "\\";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, product::kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
        throw HostError("cannot write the product's key");
    }
    RegSetValueExA(key.get(), "Install Location", 0, REG_SZ,
                   reinterpret_cast<const BYTE *>(location.c_str()),
                   static_cast<DWORD>(location.size() + 1));
    const std::string name = product::kProductName;
    RegSetValueExA(key.get(), "ProductName", 0, REG_SZ,
                   reinterpret_cast<const BYTE *>(name.c_str()),
                   static_cast<DWORD>(name.size() + 1));
}

void startProduct() {
    CreateDirectoryA((programFilesFolder() + "\\Brevanta").c_str(), nullptr);
    CreateDirectoryA(installFolder().c_str(), nullptr);
    CreateDirectoryA(installed("BIN").c_str(), nullptr);
    setInstallLocation();
    for (const product::Program &program : product::kPrograms) {
        copyStandIn("program_standin.exe", program.file);
    }
    copyStandIn("service_standin.exe", product::kServiceProgram);
    HANDLE old = CreateFileA(installed(product::kOldLibrary).c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(old, "MZ", 2, &written, nullptr);
    CloseHandle(old);
    for (const product::Program &program : product::kPrograms) {
        startProgram(program);
    }
    const handles::UniqueServiceHandle manager(
        OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        throw HostError("cannot open the service control manager: error " +
                        std::to_string(GetLastError()));
    }
    for (const product::Service &service : product::kServices) {
        startService(manager.get(), service);
    }
}

} // namespace

int machineCommand(const std::vector<std::string> &words) {
    if (words.size() != 1 || words[0] != "start-product") {
        throw UsageError("machine takes the subcommand start-product on Windows "
                         "(radozavu machine --help)");
    }
    startProduct();
    std::cout << "Quillane's stand-ins installed in " << installFolder()
              << ", its programs and services running\n";
    return 0;
}

} // namespace host
