#include "changes.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "emulator/machine.h"
#include "emulator/persistence/lossless_text.h"

namespace fs = std::filesystem;

namespace host {
namespace {

std::string hexBytes(const std::vector<BYTE> &data) {
    std::string text;
    for (std::size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", data[i]);
        text += byte;
    }
    return text;
}

std::string describeValue(const emu::RegValue &value) {
    const auto &d = value.data;
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::string text(d.begin(), d.end());
        if (!text.empty() && text.back() == '\0') {
            text.pop_back();
        }
        return std::string(value.type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ") + " \"" +
               text + "\" (" + std::to_string(d.size()) + " bytes)";
    }
    case REG_DWORD:
        if (d.size() == 4) {
            const unsigned number = d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<unsigned>(d[3]) << 24);
            char text[40];
            std::snprintf(text, sizeof text, "REG_DWORD 0x%08x (%u)", number, number);
            return text;
        }
        break;
    case REG_MULTI_SZ: {
        return "REG_MULTI_SZ \"" + std::string(d.begin(), d.end()) + "\"";
    }
    default:
        break;
    }
    return "type " + std::to_string(value.type) + " hex:" + hexBytes(d);
}

void snapshotKey(const emu::RegKey &key, const std::string &path, Snapshot &snapshot) {
    snapshot.keys[path] = true;
    for (const auto &[name, value] : key.values) {
        snapshot.values[path + " \"" + value.name + "\""] = describeValue(value);
    }
    for (const auto &[name, child] : key.subkeys) {
        snapshotKey(*child, path + "\\" + child->name, snapshot);
    }
}

std::string fileDigest(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string data = content.str();
    char digest[64];
    std::snprintf(digest, sizeof digest, "%zu bytes, digest %016zx", data.size(),
                  std::hash<std::string>()(data));
    return digest;
}

} // namespace

std::string visible(const std::string &text) { return emu::fromMachine(text, emu::machine().codePage); }

Snapshot takeSnapshot() {
    emu::Machine &m = emu::machine();
    Snapshot snapshot;
    for (const auto &[root, name] : {std::pair{HKEY_LOCAL_MACHINE, "HKLM"},
                                     std::pair{HKEY_CURRENT_USER, "HKCU"},
                                     std::pair{HKEY_USERS, "HKU"}}) {
        const auto key = m.registry.root(root);
        for (const auto &[childName, child] : key->subkeys) {
            snapshotKey(*child, std::string(name) + "\\" + child->name, snapshot);
        }
    }
    for (const auto &[letter, drive] : m.drives) {
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(drive.hostFolder, error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            std::string relative = fs::relative(it->path(), drive.hostFolder).string();
            for (char &c : relative) {
                c = c == '/' ? '\\' : c;
            }
            const std::string machinePath = std::string(1, letter) + ":\\" + relative;
            snapshot.files[machinePath] =
                it->is_directory() ? std::string("folder") : fileDigest(it->path());
        }
    }
    snapshot.messageBoxes = m.user.messageBoxes.size();
    for (const auto &[id, process] : m.processes) {
        snapshot.processes[id] = process->exited;
    }
    for (const auto &window : m.desktop.windows) {
        snapshot.windows[reinterpret_cast<std::uintptr_t>(window->handle)] = window->title;
    }
    for (const auto &[name, service] : m.services.services) {
        snapshot.services[service->name] = service->state;
    }
    snapshot.windowMessages = m.desktop.messages.size();
    snapshot.startedPrograms = m.startedPrograms.size();
    snapshot.libraries = m.libraries.size();
    snapshot.restartRequests = m.restartRequests.size();
    snapshot.serviceControls = m.services.controls.size();
    return snapshot;
}

std::vector<std::string> describeChanges(const Snapshot &before, const Snapshot &after) {
    std::vector<std::string> lines;
    for (const auto &[key, present] : after.keys) {
        if (!before.keys.count(key)) {
            lines.push_back("registry key added      " + key);
        }
    }
    for (const auto &[key, present] : before.keys) {
        if (!after.keys.count(key)) {
            lines.push_back("registry key removed    " + key);
        }
    }
    for (const auto &[value, data] : after.values) {
        auto old = before.values.find(value);
        if (old == before.values.end()) {
            lines.push_back("registry value added    " + value + " = " + data);
        } else if (old->second != data) {
            lines.push_back("registry value changed  " + value + " = " + data + " (was " +
                            old->second + ")");
        }
    }
    for (const auto &[value, data] : before.values) {
        if (!after.values.count(value)) {
            lines.push_back("registry value removed  " + value + " (was " + data + ")");
        }
    }
    for (const auto &[file, data] : after.files) {
        auto old = before.files.find(file);
        if (old == before.files.end()) {
            lines.push_back((data == "folder" ? "folder created          " : "file created            ") +
                            file + (data == "folder" ? "" : " (" + data + ")"));
        } else if (old->second != data) {
            lines.push_back("file changed            " + file + " (" + data + ")");
        }
    }
    for (const auto &[file, data] : before.files) {
        if (!after.files.count(file)) {
            lines.push_back((data == "folder" ? "folder removed          " : "file removed            ") + file);
        }
    }
    const auto &boxes = emu::machine().user.messageBoxes;
    for (std::size_t i = before.messageBoxes; i < after.messageBoxes && i < boxes.size(); ++i) {
        const emu::MessageBoxRecord &box = boxes[i];
        char header[96];
        std::snprintf(header, sizeof header, "message box             owner=0x%lx style=0x%x answer=%d ",
                      static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(box.owner)),
                      box.style, box.answer);
        lines.push_back(std::string(header) + "title=\"" + box.caption + "\" text=\"" + box.text + "\"");
    }
    const emu::Machine &m = emu::machine();
    for (std::size_t i = before.windowMessages; i < after.windowMessages; ++i) {
        const emu::DeliveredMessage &message = m.desktop.messages[i];
        char text[96];
        std::snprintf(text, sizeof text, "window message %s  0x%04x (%lu, %ld) to ",
                      message.sent ? "sent    " : "posted  ", message.message,
                      static_cast<unsigned long>(message.wParam), static_cast<long>(message.lParam));
        lines.push_back(text + std::string("\"") + message.title + "\"");
    }
    for (const auto &[window, title] : before.windows) {
        if (!after.windows.count(window)) {
            lines.push_back("window closed           \"" + title + "\"");
        }
    }
    for (std::size_t i = before.startedPrograms; i < after.startedPrograms; ++i) {
        const emu::StartedProgram &program = m.startedPrograms[i];
        lines.push_back("program started         " + program.image + " by " + program.startedBy +
                        ": " + program.commandLine);
    }
    for (const auto &[id, exited] : after.processes) {
        auto old = before.processes.find(id);
        if (exited && (old == before.processes.end() || !old->second)) {
            const auto &process = m.processes.at(id);
            lines.push_back(std::string(process->terminated ? "process terminated      "
                                                            : "process ended           ") +
                            process->image + " (exit code " + std::to_string(process->exitCode) + ")");
        }
    }
    for (std::size_t i = before.libraries; i < after.libraries; ++i) {
        lines.push_back("library loaded          " + m.libraries[i].machinePath);
    }
    for (std::size_t i = before.serviceControls; i < after.serviceControls; ++i) {
        const emu::ServiceControlRecord &control = m.services.controls[i];
        if (control.control == SERVICE_CONTROL_STOP) {
            lines.push_back("service stop requested  " + control.service +
                            (control.error == ERROR_SUCCESS
                                 ? std::string()
                                 : " (refused: error " + std::to_string(control.error) + ")"));
        }
    }
    for (const auto &[name, state] : after.services) {
        auto old = before.services.find(name);
        if (old != before.services.end() && old->second != state) {
            lines.push_back("service " + std::string(state == SERVICE_STOPPED ? "stopped         " : "changed state   ") +
                            name + " (state " + std::to_string(old->second) + " -> " +
                            std::to_string(state) + ")");
        }
    }
    for (std::size_t i = before.restartRequests; i < after.restartRequests; ++i) {
        const emu::RestartRequest &request = m.restartRequests[i];
        char text[160];
        if (request.call == "ExitWindowsEx") {
            std::snprintf(text, sizeof text, "restart requested       ExitWindowsEx(0x%x, %lu)",
                          request.flags, static_cast<unsigned long>(request.reason));
        } else {
            std::snprintf(text, sizeof text,
                          "restart requested       InitiateSystemShutdownA(%s, %s, %lu, %d, %d)",
                          request.machineName ? request.machineName->c_str() : "none",
                          request.message ? request.message->c_str() : "none",
                          static_cast<unsigned long>(request.timeout), request.forceAppsClosed,
                          request.rebootAfterShutdown);
        }
        lines.push_back(std::string(text) + (request.accepted ? ", taken (not carried out)" : ", refused"));
    }
    return lines;
}

} // namespace host
