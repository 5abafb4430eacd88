// What a call changed on the machine, told one line each: the platform takes
// a snapshot of the machine before and after the call and gathers what
// happened during it; the report compares and words them the same way for
// every platform.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct ProcessState {
    std::string image;
    bool exited = false;
    bool terminated = false; // ended by another process, not by itself
    unsigned long exitCode = 0;
};

// The values of a registry key as the report compares them: name ->
// describeValue.
using KeyValues = std::map<std::string, std::string>;

// The machine's state as far as the report compares it.
struct Snapshot {
    std::map<std::string, bool> keys; // registry keys by full path
    // Registry values by their key's full path. Two snapshots may share the
    // values of a key that did not change between them, which the report
    // then need not compare.
    std::map<std::string, std::shared_ptr<const KeyValues>> values;
    std::map<std::string, std::string> files;        // path -> "folder" or describeFile
    std::map<unsigned long, ProcessState> processes; // by process id
    std::map<std::uintptr_t, std::string> windows;   // top-level window -> title
    std::map<std::string, unsigned long> services;   // service name -> state
};

struct BoxRecord {
    unsigned long owner = 0;
    std::optional<unsigned> style; // where the machine knows it
    int answer = 0;
    std::string title;
    std::string text;
    std::vector<std::string> buttons; // where the machine shows them
};

struct WindowMessage {
    bool sent = false; // SendMessage, else PostMessage
    unsigned message = 0;
    unsigned long wParam = 0;
    long lParam = 0;
    std::string title;
};

struct StartedProgram {
    std::string image;
    std::string startedBy;
    std::string commandLine;
};

struct ServiceStop {
    std::string service;
    unsigned long error = 0; // 0: accepted
};

struct RestartRecord {
    std::string request; // the call, or how the machine saw the request
    std::string outcome; // "taken (not carried out)", "refused by the host", ...
};

// What happened during a call, in the order it happened, as far as the
// machine can see it.
struct CallEvents {
    std::vector<BoxRecord> boxes;
    std::vector<WindowMessage> windowMessages;
    std::vector<StartedProgram> startedPrograms;
    std::vector<std::string> libraries; // paths of the libraries loaded
    std::vector<ServiceStop> serviceStops;
    std::vector<RestartRecord> restarts;
};

// One line per change, in a stable order: registry, files, the user's boxes,
// messages to windows, windows closed, programs started and ended, libraries
// loaded, services, restart requests.
std::vector<std::string> describeChanges(const Snapshot &before, const Snapshot &after,
                                         const CallEvents &events);

// A registry value as the report shows it: type, data and size.
std::string describeValue(unsigned long type, const std::string &data);
// A file as the report shows it: its size and a digest of its content (the
// same digest on every platform).
std::string describeFile(const std::string &content);

} // namespace host
