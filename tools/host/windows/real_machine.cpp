// The host's machine on Windows: the computer it runs on. The library is
// loaded from beside the host (or --dll PATH) with LoadLibraryA; set-up
// lines act on the real registry and files; message boxes are answered and
// restart requests refused by the user watcher; the change report compares
// snapshots of what the library can touch.
#include <windows.h>

#include <fstream>
#include <sstream>

#include "base/handles.h"
#include "host_machine.h"
#include "matrix.h"
#include "registry_path.h"
#include "windows/snapshot.h"
#include "whole_file.h"
#include "windows/user_watcher.h"

namespace host {

const char *const kPlatformName = "windows";
const char *const kLibraryOption = "--dll";

std::string programFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    folder.resize(folder.find_last_of('\\') + 1);
    return folder;
}

std::string defaultLibraryPath() { return programFolder() + "RADOZAVU.DLL"; }

namespace {

// Makes a folder and the folders above it.
void createFolders(const std::string &folder) {
    for (std::size_t at = folder.find('\\', 3); at != std::string::npos;
         at = folder.find('\\', at + 1)) {
        CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryA(folder.c_str(), nullptr);
}

std::string folderOf(const std::string &path) { return path.substr(0, path.find_last_of('\\')); }

class RealMachine final : public Machine {
public:
    explicit RealMachine(const HostOptions &options)
        : user_(options.allowRestart), module_(LoadLibraryA(options.library.c_str())) {
        if (module_ == nullptr) {
            throw HostError("cannot load the library " + options.library + ": error " +
                            std::to_string(GetLastError()));
        }
    }
    ~RealMachine() override {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    RealMachine(const RealMachine &) = delete;
    RealMachine &operator=(const RealMachine &) = delete;

    [[nodiscard]] unsigned codePage() const override { return GetACP(); }

    Outcome call(const std::string &exportName, const CallArguments &arguments) override {
        checkCall(exportName, arguments);
        FARPROC symbol = GetProcAddress(module_, exportName.c_str());
        if (symbol == nullptr) {
            throw UsageError("the library does not export " + exportName);
        }
        user_.takeBoxes();
        user_.takeRestarts();
        clearShutdownPrivilege();
        const Snapshot before = snapshots_.before();
        Outcome outcome{
            callExport(*findExport(exportName), reinterpret_cast<void *>(symbol), arguments),
            {},
            {}};
        // The library enables the shutdown privilege just before it asks for
        // a restart; the system then asks every window, the user watcher's
        // too, whether the session may end.
        if (shutdownPrivilegeEnabled()) {
            user_.waitForSessionQuestion(kPatienceMs);
        }
        CallEvents events;
        events.boxes = user_.takeBoxes();
        events.restarts = user_.takeRestarts();
        events.libraries = snapshots_.librariesLoaded();
        outcome.changes = describeChanges(before, snapshots_.after(), events);
        for (const BoxRecord &box : events.boxes) {
            outcome.boxTexts.push_back(box.text);
        }
        return outcome;
    }

    void setString(const std::string &key, const std::string &name,
                   const std::string &text) override {
        setValue(key, name, REG_SZ, text.c_str(), text.size() + 1);
    }
    void setDword(const std::string &key, const std::string &name, unsigned long value) override {
        const DWORD number = value;
        setValue(key, name, REG_DWORD, &number, sizeof number);
    }
    std::optional<std::string> valueText(const std::string &key, const std::string &name) override {
        const handles::UniqueKey opened = open(key);
        DWORD type = 0;
        DWORD size = 0;
        if (!opened || RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type, nullptr,
                                        &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::string data(size, '\0');
        if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE *>(data.data()), &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        data.resize(size);
        if (type == REG_DWORD && size == 4) {
            DWORD number = 0;
            CopyMemory(&number, data.data(), 4);
            return std::to_string(number);
        }
        return data.substr(0, data.find('\0'));
    }
    bool keyExists(const std::string &key) override { return static_cast<bool>(open(key)); }
    void writeFile(const std::string &path, const std::string &content) override {
        createFolders(folderOf(path));
        writeWholeFile(path, content, path);
    }
    std::optional<std::string> readFile(const std::string &path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return std::nullopt;
        }
        std::ifstream in(path, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
    void setAnswer(int button, const std::vector<std::string> &closingTitles) override {
        user_.setAnswer(button, closingTitles);
    }
    // The real clock cannot be moved on: time passes.
    void wait(unsigned long long milliseconds) override { Sleep(static_cast<DWORD>(milliseconds)); }
    void putSiblingLibraries(const std::string &folder) override {
        createFolders(folder);
        for (const char *library : {"Rezedev.dll", "ZepProj.dll"}) {
            if (CopyFileA((programFolder() + library).c_str(), (folder + "\\" + library).c_str(),
                          FALSE) == FALSE) {
                throw HostError(std::string("cannot copy ") + library + ": error " +
                                std::to_string(GetLastError()));
            }
        }
    }
    void watch(const std::vector<std::string> &places) override { snapshots_.watch(places); }

    // What the library changed stays; this computer keeps no journal.
    void finish(const std::string &) override {
        FreeLibrary(module_);
        module_ = nullptr;
    }

private:
    // A key in the host's (32-bit) view, or in the 64-bit one for a root
    // such as HKLM64.
    static REGSAM view(const KeyName &name) { return name.view64 ? KEY_WOW64_64KEY : 0; }
    static handles::UniqueKey open(const std::string &key) {
        const KeyName name = splitKey(key);
        handles::UniqueKey opened;
        RegOpenKeyExA(name.root, name.path.c_str(), 0, KEY_READ | view(name), opened.put());
        return opened;
    }
    static void setValue(const std::string &key, const std::string &name, DWORD type,
                         const void *data, std::size_t size) {
        const KeyName named = splitKey(key);
        handles::UniqueKey opened;
        const LONG created =
            RegCreateKeyExA(named.root, named.path.c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE | view(named), nullptr, opened.put(), nullptr);
        if (created != ERROR_SUCCESS ||
            RegSetValueExA(opened.get(), name.c_str(), 0, type, static_cast<const BYTE *>(data),
                           static_cast<DWORD>(size)) != ERROR_SUCCESS) {
            throw HostError("cannot set " + key + " \"" + name + "\"");
        }
    }

    UserWatcher user_;
    RealSnapshots snapshots_;
    HMODULE module_;
};

} // namespace

std::unique_ptr<Machine> openMachine(const HostOptions &options, const std::string &) {
    if (!options.folder.empty()) {
        throw UsageError("--machine: on Windows the machine is this computer, it has no folder");
    }
    return std::make_unique<RealMachine>(options);
}

unsigned checkCodePage(const HostOptions &) { return GetACP(); }

// The editions are emulated machines; this host has the one computer.
MatrixRun runEditions(const HostOptions &, const std::vector<ScriptReport> &) {
    throw UsageError("--windows runs the scripts on emulated editions of Windows: use the "
                     "Linux host (radozavu.exe runs them on this computer)");
}

// The machine is this computer: it keeps no files of the host's own.
void refuseMachineFile(const std::string &) {}

} // namespace host
