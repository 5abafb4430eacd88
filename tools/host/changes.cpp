#include "changes.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/types.h"

namespace host {
namespace {

std::string hexBytes(const std::string &data) {
    std::string text;
    for (std::size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x",
                      static_cast<unsigned char>(data[i]));
        text += byte;
    }
    return text;
}

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

// The entries of a snapshot's map that the other lacks.
template <class Map, class Describe>
void eachMissing(const Map &from, const Map &in, Describe describe) {
    for (const auto &[name, data] : from) {
        if (in.count(name) == 0) {
            describe(name, data);
        }
    }
}

// A registry value as the report names it: its key's path and its name.
std::string valuePath(const std::string &key, const std::string &name) {
    return key + " \"" + name + "\"";
}

// Lines about registry values, told in the order of the values' report
// names (valuePath), whatever order they were found in.
class ValueLines {
public:
    void add(std::string path, const char *label, std::string details) {
        lines_.push_back({std::move(path), label, std::move(details)});
    }
    void addTo(Report &report) {
        std::sort(lines_.begin(), lines_.end(),
                  [](const Line &a, const Line &b) { return a.path < b.path; });
        for (Line &line : lines_) {
            report.add(line.label, line.details);
        }
    }

private:
    struct Line {
        std::string path;
        const char *label;
        std::string details;
    };
    std::vector<Line> lines_;
};

// Values are compared only in the keys whose values the two snapshots do
// not share. Added and changed values are told in one run in
// the order of their names, the removed ones after them.
void describeRegistry(const Snapshot &before, const Snapshot &after, const CallEvents &,
                      Report &report) {
    using Values = std::shared_ptr<const KeyValues>;
    eachMissing(after.keys, before.keys,
                [&](const std::string &key, bool) { report.add("registry key added", key); });
    eachMissing(before.keys, after.keys,
                [&](const std::string &key, bool) { report.add("registry key removed", key); });
    static const KeyValues kNone;
    ValueLines addedOrChanged;
    ValueLines removed;
    const auto compareKey = [&](const std::string &key, const KeyValues &was, const KeyValues &is) {
        for (const auto &[name, data] : is) {
            std::string path = valuePath(key, name);
            const auto old = was.find(name);
            if (old == was.end()) {
                addedOrChanged.add(path, "registry value added", path + " = " + data);
            } else if (old->second != data) {
                addedOrChanged.add(path, "registry value changed",
                                   path + " = " + data + " (was " + old->second + ")");
            }
        }
        for (const auto &[name, data] : was) {
            if (is.count(name) == 0) {
                std::string path = valuePath(key, name);
                removed.add(path, "registry value removed", path + " (was " + data + ")");
            }
        }
    };
    for (const auto &[key, values] : after.values) {
        const auto old = before.values.find(key);
        const Values was = old != before.values.end() ? old->second : nullptr;
        if (was != values) {
            compareKey(key, was ? *was : kNone, *values);
        }
    }
    eachMissing(before.values, after.values,
                [&](const std::string &key, const Values &was) { compareKey(key, *was, kNone); });
    addedOrChanged.addTo(report);
    removed.addTo(report);
}

void describeFiles(const Snapshot &before, const Snapshot &after, const CallEvents &,
                   Report &report) {
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

void describeMessageBoxes(const Snapshot &, const Snapshot &, const CallEvents &events,
                          Report &report) {
    for (const BoxRecord &box : events.boxes) {
        char header[96];
        std::snprintf(header, sizeof header, "owner=0x%lx ", box.owner);
        std::string details = header;
        if (box.style) {
            std::snprintf(header, sizeof header, "style=0x%x ", *box.style);
            details += header;
        }
        if (!box.buttons.empty()) {
            std::string buttons;
            for (const std::string &button : box.buttons) {
                buttons += (buttons.empty() ? "" : ",") + button;
            }
            details += "buttons=\"" + buttons + "\" ";
        }
        report.add("message box", details + "answer=" + std::to_string(box.answer) + " title=\"" +
                                      box.title + "\" text=\"" + box.text + "\"");
    }
}

// The details of a window message start one column further than the others'.
void describeWindowMessages(const Snapshot &, const Snapshot &, const CallEvents &events,
                            Report &report) {
    for (const WindowMessage &message : events.windowMessages) {
        char details[96];
        std::snprintf(details, sizeof details, " 0x%04x (%lu, %ld) to ", message.message,
                      message.wParam, message.lParam);
        report.add(message.sent ? "window message sent" : "window message posted",
                   details + ("\"" + message.title + "\""));
    }
}

void describeClosedWindows(const Snapshot &before, const Snapshot &after, const CallEvents &,
                           Report &report) {
    eachMissing(before.windows, after.windows, [&](std::uintptr_t, const std::string &title) {
        report.add("window closed", "\"" + title + "\"");
    });
}

void describeStartedPrograms(const Snapshot &, const Snapshot &, const CallEvents &events,
                             Report &report) {
    for (const StartedProgram &program : events.startedPrograms) {
        report.add("program started",
                   program.image + " by " + program.startedBy + ": " + program.commandLine);
    }
}

void describeEndedProcesses(const Snapshot &before, const Snapshot &after, const CallEvents &,
                            Report &report) {
    const auto describe = [&](const ProcessState &process) {
        report.add(process.terminated ? "process terminated" : "process ended",
                   process.image + " (exit code " + std::to_string(process.exitCode) + ")");
    };
    for (const auto &[id, process] : after.processes) {
        const auto old = before.processes.find(id);
        if (process.exited && (old == before.processes.end() || !old->second.exited)) {
            describe(process);
        }
    }
    // A process gone from the machine's list ended too, with what it showed
    // last.
    eachMissing(before.processes, after.processes, [&](unsigned long, const ProcessState &process) {
        if (!process.exited) {
            describe(process);
        }
    });
}

void describeLibraries(const Snapshot &, const Snapshot &, const CallEvents &events,
                       Report &report) {
    for (const std::string &library : events.libraries) {
        report.add("library loaded", library);
    }
}

void describeServices(const Snapshot &before, const Snapshot &after, const CallEvents &events,
                      Report &report) {
    for (const ServiceStop &stop : events.serviceStops) {
        report.add("service stop requested",
                   stop.service + (stop.error == 0
                                       ? std::string()
                                       : " (refused: error " + std::to_string(stop.error) + ")"));
    }
    for (const auto &[name, state] : after.services) {
        const auto old = before.services.find(name);
        if (old != before.services.end() && old->second != state) {
            report.add(state == SERVICE_STOPPED ? "service stopped" : "service changed state",
                       name + " (state " + std::to_string(old->second) + " -> " +
                           std::to_string(state) + ")");
        }
    }
}

void describeRestartRequests(const Snapshot &, const Snapshot &, const CallEvents &events,
                             Report &report) {
    for (const RestartRecord &restart : events.restarts) {
        report.add("restart requested", restart.request + ", " + restart.outcome);
    }
}

// One describer per area, in the order of the report.
using Describer = void (*)(const Snapshot &, const Snapshot &, const CallEvents &, Report &);
constexpr Describer kDescribers[] = {
    describeRegistry,      describeFiles,           describeMessageBoxes,   describeWindowMessages,
    describeClosedWindows, describeStartedPrograms, describeEndedProcesses, describeLibraries,
    describeServices,      describeRestartRequests,
};

} // namespace

std::string describeValue(unsigned long type, const std::string &data) {
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::string text = data;
        if (!text.empty() && text.back() == '\0') {
            text.pop_back();
        }
        return std::string(type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ") + " \"" + text + "\" (" +
               std::to_string(data.size()) + " bytes)";
    }
    case REG_DWORD:
        if (data.size() == 4) {
            const auto byte = [&data](int i) { return static_cast<unsigned char>(data[i]); };
            const unsigned number =
                byte(0) | (byte(1) << 8) | (byte(2) << 16) | (static_cast<unsigned>(byte(3)) << 24);
            char text[40];
            std::snprintf(text, sizeof text, "REG_DWORD 0x%08x (%u)", number, number);
            return text;
        }
        break;
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ \"" + data + "\"";
    default:
        break;
    }
    return "type " + std::to_string(type) + " hex:" + hexBytes(data);
}

std::string describeFile(const std::string &content) {
    // FNV-1a, 64 bits: the same file gives the same digest on every platform.
    unsigned long long digest = 0xcbf29ce484222325ull;
    for (const char byte : content) {
        digest = (digest ^ static_cast<unsigned char>(byte)) * 0x100000001b3ull;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%zu bytes, digest %016llx", content.size(), digest);
    return text;
}

std::vector<std::string> describeChanges(const Snapshot &before, const Snapshot &after,
                                         const CallEvents &events) {
    Report report;
    for (const Describer describe : kDescribers) {
        describe(before, after, events, report);
    }
    return std::move(report).lines();
}

} // namespace host
