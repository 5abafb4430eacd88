#include "changes.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <utility>

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
        return std::string(value.type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ") + " \"" + text +
               "\" (" + std::to_string(d.size()) + " bytes)";
    }
    case REG_DWORD:
        if (d.size() == 4) {
            const unsigned number =
                d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<unsigned>(d[3]) << 24);
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

std::string visible(const std::string &text) {
    return emu::fromMachine(text, emu::machine().codePage);
}

Snapshot takeSnapshot() {
    emu::Machine &m = emu::machine();
    Snapshot snapshot;
    for (const auto &[root, name] :
         {std::pair{HKEY_LOCAL_MACHINE, "HKLM"}, std::pair{HKEY_CURRENT_USER, "HKCU"},
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

namespace {

// Every line of the report is a label and its details, the details starting
// in one column.
constexpr std::size_t kLabelWidth = 24;

class Report {
public:
    void add(std::string label, const std::string &details) {
        label.resize(std::max(kLabelWidth, label.size() + 1), ' ');
        lines_.push_back(label + details);
    }
    std::vector<std::string> lines() && { return std::move(lines_); }

private:
    std::vector<std::string> lines_;
};

// The records a log of the machine gained between the snapshots.
template <class Record, class Describe> void
eachNew(const std::vector<Record> &log, std::size_t before, std::size_t after, Describe describe) {
    for (std::size_t i = before; i < after && i < log.size(); ++i) {
        describe(log[i]);
    }
}

// The entries of a snapshot's map that the other lacks.
template <class Map, class Describe>
void eachMissing(const Map &from, const Map &in, Describe describe) {
    for (const auto &[name, data] : from) {
        if (in.count(name) == 0) {
            describe(name, data);
        }
    }
}

void describeRegistry(const Snapshot &before, const Snapshot &after, Report &report) {
    eachMissing(after.keys, before.keys,
                [&](const std::string &key, bool) { report.add("registry key added", key); });
    eachMissing(before.keys, after.keys,
                [&](const std::string &key, bool) { report.add("registry key removed", key); });
    for (const auto &[value, data] : after.values) {
        const auto old = before.values.find(value);
        if (old == before.values.end()) {
            report.add("registry value added", value + " = " + data);
        } else if (old->second != data) {
            report.add("registry value changed",
                       value + " = " + data + " (was " + old->second + ")");
        }
    }
    eachMissing(before.values, after.values,
                [&](const std::string &value, const std::string &data) {
                    report.add("registry value removed", value + " (was " + data + ")");
                });
}

void describeFiles(const Snapshot &before, const Snapshot &after, Report &report) {
    for (const auto &[file, data] : after.files) {
        const auto old = before.files.find(file);
        if (old == before.files.end()) {
            report.add(data == "folder" ? "folder created" : "file created",
                       file + (data == "folder" ? "" : " (" + data + ")"));
        } else if (old->second != data) {
            report.add("file changed", file + " (" + data + ")");
        }
    }
    eachMissing(before.files, after.files, [&](const std::string &file, const std::string &data) {
        report.add(data == "folder" ? "folder removed" : "file removed", file);
    });
}

void describeMessageBoxes(const Snapshot &before, const Snapshot &after, Report &report) {
    eachNew(emu::machine().user.messageBoxes, before.messageBoxes, after.messageBoxes,
            [&](const emu::MessageBoxRecord &box) {
                char header[96];
                std::snprintf(
                    header, sizeof header, "owner=0x%lx style=0x%x answer=%d ",
                    static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(box.owner)),
                    box.style, box.answer);
                report.add("message box",
                           header + ("title=\"" + box.caption + "\" text=\"" + box.text + "\""));
            });
}

// The details of a window message start one column further than the others'.
void describeWindowMessages(const Snapshot &before, const Snapshot &after, Report &report) {
    eachNew(emu::machine().desktop.messages, before.windowMessages, after.windowMessages,
            [&](const emu::DeliveredMessage &message) {
                char details[96];
                std::snprintf(details, sizeof details, " 0x%04x (%lu, %ld) to ", message.message,
                              static_cast<unsigned long>(message.wParam),
                              static_cast<long>(message.lParam));
                report.add(message.sent ? "window message sent" : "window message posted",
                           details + ("\"" + message.title + "\""));
            });
}

void describeClosedWindows(const Snapshot &before, const Snapshot &after, Report &report) {
    eachMissing(before.windows, after.windows, [&](std::uintptr_t, const std::string &title) {
        report.add("window closed", "\"" + title + "\"");
    });
}

void describeStartedPrograms(const Snapshot &before, const Snapshot &after, Report &report) {
    eachNew(emu::machine().startedPrograms, before.startedPrograms, after.startedPrograms,
            [&](const emu::StartedProgram &program) {
                report.add("program started",
                           program.image + " by " + program.startedBy + ": " + program.commandLine);
            });
}

void describeEndedProcesses(const Snapshot &before, const Snapshot &after, Report &report) {
    for (const auto &[id, exited] : after.processes) {
        const auto old = before.processes.find(id);
        if (exited && (old == before.processes.end() || !old->second)) {
            const auto &process = emu::machine().processes.at(id);
            report.add(process->terminated ? "process terminated" : "process ended",
                       process->image + " (exit code " + std::to_string(process->exitCode) + ")");
        }
    }
}

void describeLibraries(const Snapshot &before, const Snapshot &after, Report &report) {
    eachNew(emu::machine().libraries, before.libraries, after.libraries,
            [&](const auto &library) { report.add("library loaded", library.machinePath); });
}

void describeServices(const Snapshot &before, const Snapshot &after, Report &report) {
    eachNew(emu::machine().services.controls, before.serviceControls, after.serviceControls,
            [&](const emu::ServiceControlRecord &control) {
                if (control.control == SERVICE_CONTROL_STOP) {
                    report.add("service stop requested",
                               control.service + (control.error == ERROR_SUCCESS
                                                      ? std::string()
                                                      : " (refused: error " +
                                                            std::to_string(control.error) + ")"));
                }
            });
    for (const auto &[name, state] : after.services) {
        const auto old = before.services.find(name);
        if (old != before.services.end() && old->second != state) {
            report.add(state == SERVICE_STOPPED ? "service stopped" : "service changed state",
                       name + " (state " + std::to_string(old->second) + " -> " +
                           std::to_string(state) + ")");
        }
    }
}

void describeRestartRequests(const Snapshot &before, const Snapshot &after, Report &report) {
    eachNew(emu::machine().restartRequests, before.restartRequests, after.restartRequests,
            [&](const emu::RestartRequest &request) {
                char call[160];
                if (request.call == "ExitWindowsEx") {
                    std::snprintf(call, sizeof call, "ExitWindowsEx(0x%x, %lu)", request.flags,
                                  static_cast<unsigned long>(request.reason));
                } else {
                    std::snprintf(call, sizeof call, "InitiateSystemShutdownA(%s, %s, %lu, %d, %d)",
                                  request.machineName ? request.machineName->c_str() : "none",
                                  request.message ? request.message->c_str() : "none",
                                  static_cast<unsigned long>(request.timeout),
                                  request.forceAppsClosed, request.rebootAfterShutdown);
                }
                report.add("restart requested",
                           call + std::string(request.accepted ? ", taken (not carried out)"
                                                               : ", refused"));
            });
}

// One describer per area, in the order of the report.
using Describer = void (*)(const Snapshot &, const Snapshot &, Report &);
constexpr Describer kDescribers[] = {
    describeRegistry,      describeFiles,           describeMessageBoxes,   describeWindowMessages,
    describeClosedWindows, describeStartedPrograms, describeEndedProcesses, describeLibraries,
    describeServices,      describeRestartRequests,
};

} // namespace

std::vector<std::string> describeChanges(const Snapshot &before, const Snapshot &after) {
    Report report;
    for (const Describer describe : kDescribers) {
        describe(before, after, report);
    }
    return std::move(report).lines();
}

} // namespace host
