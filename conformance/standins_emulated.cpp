// The stand-ins on the emulated machine: the machine is told how each one
// behaves (a program's windows and reactions, a service's state), since no
// program of its own runs there.
#include <filesystem>
#include <fstream>

#include "emulator/machine.h"
#include "platform.h"
#include "platform/resources.h"
#include "standins.h"

namespace fs = std::filesystem;

namespace conformance::standins {
namespace {

// A file of the scratch folder, made once a case asks for it.
std::string scratchFile(const std::string &name) {
    std::string file = platform::scratchFolder() + "\\" + name;
    const std::ofstream made(platform::hostPath(file), std::ios::binary);
    return file;
}

} // namespace

std::string programFile() { return scratchFile("program_standin.exe"); }

bool showsWindows(DWORD processId, const std::vector<std::string> &titles) {
    for (const std::string &title : titles) {
        const HWND window = emu::createWindow(title, processId, kProgramClass);
        // The program ends with its windows: closing one of them ends it here.
        emu::closeWindowOn(window, WM_CLOSE, 0, true);
        emu::closeWindowOn(window, kExitRequest, 0, true);
    }
    return true;
}

std::string libraryFile() {
    std::string file = platform::scratchFolder() + "\\ZepProj.dll";
    fs::copy_file(fs::path(RADOZAVU_STANDIN_FOLDER) / "ZepProj.dll", platform::hostPath(file),
                  fs::copy_options::overwrite_existing);
    return file;
}

// Copied into a folder of the scratch folder. The machine reads no imports
// from a shared object: it is told that Rezedev.dll imports the stand-in
// beside it.
std::string importingLibrary() {
    const fs::path built(RADOZAVU_STANDIN_FOLDER);
    const std::string folder = platform::scratchFolder() + "\\importing";
    fs::create_directories(platform::hostPath(folder));
    std::string library = folder + "\\Rezedev.dll";
    fs::copy_file(built / "Rezedev.dll", platform::hostPath(library),
                  fs::copy_options::overwrite_existing);
    fs::copy_file(built / "importing" / kImportedLibrary,
                  platform::hostPath(folder + "\\" + kImportedLibrary),
                  fs::copy_options::overwrite_existing);
    emu::machine().processes.libraryImports["Rezedev.dll"] = {kImportedLibrary};
    return library;
}

HINSTANCE stringModule() {
    static const win::StringResource strings[] = {{kFirstString, "Setup"},
                                                  {kSecondString, "Pick a folder"}};
    return win::RegisterStringTable(strings, std::size(strings));
}

struct Service::State {};

Service::Service(const char *name, ServiceOptions options) {
    emu::Service &service =
        emu::machine().services.add(name, options.started ? SERVICE_RUNNING : SERVICE_STOPPED);
    service.acceptsStop = !options.refuseStop;
    if (options.dependsOn != nullptr) {
        emu::machine().services.find(options.dependsOn)->dependents.emplace_back(name);
    }
}

Service::~Service() = default;

struct BoxAnswer::State {
    std::string title;
};

BoxAnswer::BoxAnswer(const std::string &title) : state_(new State{title}) {}

BoxAnswer::~BoxAnswer() = default;

// The machine's user answers every box with OK.
std::string BoxAnswer::text() {
    for (const emu::MessageBoxRecord &box : emu::machine().processes.user.messageBoxes) {
        if (box.caption == state_->title) {
            return box.text;
        }
    }
    return "";
}

struct SessionGuard::State {};

SessionGuard::SessionGuard() = default;

SessionGuard::~SessionGuard() = default;

// The machine never ends: a request it took is all there is to see.
bool SessionGuard::asked() {
    for (const emu::RestartRequest &request : emu::machine().system.restartRequests) {
        if (request.accepted) {
            return true;
        }
    }
    return false;
}

} // namespace conformance::standins
