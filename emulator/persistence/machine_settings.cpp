#include "emulator/persistence/machine_settings.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <type_traits>
#include <utility>
#include <vector>

#include "emulator/code_page.h"
#include "emulator/machine.h"
#include "emulator/persistence/lossless_text.h"
#include "emulator/persistence/machine_error.h"
#include "emulator/persistence/number_text.h"

namespace emu {
namespace {

const std::map<UINT, std::string> kDriveTypeNames = {
    {DriveUnknown, "unknown"}, {DriveNoRootDir, "none"}, {DriveRemovable, "removable"},
    {DriveFixed, "fixed"},     {DriveRemote, "remote"},  {DriveCdrom, "cdrom"},
    {DriveRamdisk, "ramdisk"},
};

const std::map<DWORD, std::string> kServiceStateNames = {
    {SERVICE_STOPPED, "stopped"},
    {SERVICE_START_PENDING, "start-pending"},
    {SERVICE_STOP_PENDING, "stop-pending"},
    {SERVICE_RUNNING, "running"},
    {SERVICE_CONTINUE_PENDING, "continue-pending"},
    {SERVICE_PAUSE_PENDING, "pause-pending"},
    {SERVICE_PAUSED, "paused"},
};

std::string trim(const std::string &text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(trim(part));
    }
    if (!text.empty() && text.back() == separator) {
        parts.emplace_back();
    }
    return parts;
}

std::string join(const std::vector<std::string> &parts, const char *separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        text += (i == 0 ? "" : separator) + parts[i];
    }
    return text;
}

struct Line {
    int number;
    std::string name;
    std::string value;
};
using Sections = std::map<std::string, std::vector<Line>>;

class Reader {
public:
    Reader(const std::string &text, std::string driveRoot) : driveRoot_(std::move(driveRoot)) {
        std::istringstream lines(text);
        std::string line;
        std::string section;
        int number = 0;
        while (std::getline(lines, line)) {
            ++number;
            line = trim(line);
            if (line.empty() || (line[0] == '#' && endLine_ == 0)) {
                continue;
            }
            if (endLine_ != 0) {
                fail(number, std::string("text after the last line ") + kEndLine + ": " + line);
            }
            if (line == kEndLine) {
                endLine_ = number;
                continue;
            }
            if (line.front() == '[' && line.back() == ']') {
                section = line.substr(1, line.size() - 2);
                if (const auto [first, added] = headers_.emplace(section, number); !added) {
                    fail(number, "section [" + section + "] appears twice (first at line " +
                                     std::to_string(first->second) + ")");
                }
                sections_[section];
                continue;
            }
            const auto equals = line.find('=');
            if (equals == std::string::npos || section.empty()) {
                fail(number, "not a setting: " + line);
            }
            sections_[section].push_back(
                {number, trim(line.substr(0, equals)), trim(line.substr(equals + 1))});
        }
        lineCount_ = number;
    }

    [[noreturn]] static void fail(int line, const std::string &problem) {
        throw MachineError("machine.conf:" + std::to_string(line) + ": " + cutForMessage(problem));
    }

    // Refuses a second entry for what an earlier line of its section named.
    static void refuseDuplicate(bool duplicate, const Line &line, const std::string &what) {
        if (duplicate) {
            fail(line.number, what + " is listed twice: " + line.name + " = " + line.value);
        }
    }

    // The [section] headers with their lines.
    [[nodiscard]] const std::map<std::string, int> &headers() const { return headers_; }

    const std::vector<Line> &section(const std::string &name) const {
        static const std::vector<Line> none;
        auto it = sections_.find(name);
        return it == sections_.end() ? none : it->second;
    }

    [[nodiscard]] bool has(const std::string &sectionName, const std::string &name) const {
        const auto &lines = section(sectionName);
        return std::any_of(lines.begin(), lines.end(),
                           [&name](const Line &line) { return line.name == name; });
    }

    const Line &setting(const std::string &sectionName, const std::string &name) const {
        for (const Line &line : section(sectionName)) {
            if (line.name == name) {
                return line;
            }
        }
        throw MachineError("machine.conf: missing setting " + name + " in [" + sectionName + "]");
    }

    // Text of this version's files is UTF-8 with \x{NN} escapes, converted
    // to the code page; files of earlier versions hold the bytes themselves.
    void readEscapedText(const Line &line) {
        if (line.value != "utf-8") {
            fail(line.number, "text: only utf-8 is known, not " + line.value);
        }
        escaped_ = true;
    }
    void setCodePage(unsigned codePage) { codePage_ = codePage; }

    // A file of this version says so in its first setting and ends with
    // kEndLine: one cut short lacks it. (Files of earlier versions have
    // neither, and a cut in their last list cannot be told.)
    void readFormat(const Line &line) {
        if (line.value != std::to_string(kStateFormat)) {
            fail(line.number,
                 "format: only " + std::to_string(kStateFormat) + " is known, not " + line.value);
        }
        format_ = kStateFormat;
    }
    [[nodiscard]] int format() const { return format_; }
    void refuseUnlessWhole() const {
        if (format_ == kStateFormat && endLine_ == 0) {
            throw MachineError("machine.conf: the file is cut short: it ends at line " +
                               std::to_string(lineCount_) + " without its last line " + kEndLine);
        }
    }

    [[nodiscard]] const std::string &driveRoot() const { return driveRoot_; }

    std::string decode(const Line &line, const std::string &text) const {
        if (!escaped_) {
            return text;
        }
        try {
            return toMachine(text, codePage_);
        } catch (const TextError &error) {
            fail(line.number, line.name + ": " + error.what());
        }
    }

    static unsigned long long parseNumber(const Line &line, const std::string &text,
                                          unsigned long long high) {
        const auto value = readUnsigned(text, high);
        if (!value) {
            fail(line.number, line.name + ": not " + numberRange(0, high) + ": " + text);
        }
        return *value;
    }

    static long long parseSigned(const Line &line, long long low, long long high) {
        const auto value = readNumber(line.value, low, high);
        if (!value) {
            fail(line.number, line.name + ": not " +
                                  numberRange(low, static_cast<unsigned long long>(high)) + ": " +
                                  line.value);
        }
        return *value;
    }

private:
    Sections sections_;
    std::map<std::string, int> headers_;
    std::string driveRoot_;
    unsigned codePage_ = 0;
    bool escaped_ = false;
    int format_ = 1;  // an earlier version's file until its format line says otherwise
    int endLine_ = 0; // the line of kEndLine, 0 while it has not come
    int lineCount_ = 0;
};

constexpr unsigned long long kDword = 0xFFFFFFFFu;
constexpr unsigned long long kLong = 0x7FFFFFFFu;
constexpr unsigned long long kAll = ~0ULL;
constexpr long long kLastButton = 11; // IDCONTINUE, the last button a message box has

// Text of the machine written so that the reader gets every byte back: UTF-8
// (lossless_text.h), with the separators of the lists and blanks at either end (which
// the reader trims) escaped too.
std::string encode(const std::string &bytes) {
    std::string text = fromMachine(bytes, machine().system.codePage, "|,=");
    if (!text.empty() && text.front() == ' ') {
        text.replace(0, 1, "\\x{20}");
    }
    if (!text.empty() && text.back() == ' ') {
        text.replace(text.size() - 1, 1, "\\x{20}");
    }
    return text;
}

std::string encodeAll(const std::vector<std::string> &texts, const char *separator) {
    std::vector<std::string> encoded(texts.size());
    std::transform(texts.begin(), texts.end(), encoded.begin(), encode);
    return join(encoded, separator);
}

template <class Map>
typename Map::key_type keyOf(const Map &names, const Line &line, const std::string &name) {
    for (const auto &[key, value] : names) {
        if (value == name) {
            return key;
        }
    }
    Reader::fail(line.number, "unknown name: " + name);
}

std::string describeReactions(const Window &window) {
    std::vector<std::string> reactions;
    for (const WindowReaction &reaction : window.reactions) {
        char text[64];
        std::snprintf(text, sizeof text, "0x%x after %llu ms%s", reaction.message,
                      static_cast<unsigned long long>(reaction.delay),
                      reaction.endsProcess ? " ends process" : "");
        reactions.push_back(text);
    }
    return join(reactions, ", ");
}

void readReactions(HWND window, const Line &line, const std::string &text) {
    for (const std::string &reaction : split(text, ',')) {
        if (reaction.empty()) {
            continue;
        }
        std::istringstream words(reaction);
        std::string message, after, delay, ms, ends, process;
        words >> message >> after >> delay >> ms >> ends >> process;
        if (after != "after" || ms != "ms" ||
            (!ends.empty() && (ends != "ends" || process != "process"))) {
            Reader::fail(line.number,
                         "a reaction is MESSAGE after N ms [ends process]: " + reaction);
        }
        closeWindowOn(window, static_cast<UINT>(Reader::parseNumber(line, message, kDword)),
                      Reader::parseNumber(line, delay, kAll), !ends.empty());
    }
}

// One "name = value" setting: how the writer gets its value from the
// machine, and how the reader applies a value it has checked against the
// setting's range.
struct Setting {
    const char *name;
    std::function<std::string(Machine &)> write;
    std::function<void(Machine &, Reader &, const Line &)> read;
    bool optional = false;  // absent from the files of earlier versions
    bool readFirst = false; // read before the others, which depend on it
    // Written only where this says so (a setting of the machines of today,
    // left out of the others' files, which stay as earlier versions wrote
    // them); nullptr: always written.
    bool (*written)(const Machine &) = nullptr;
};

// A number from 0 to high, kept where get points.
template <class Get> Setting number(const char *name, unsigned long long high, Get get) {
    return {name, [get](Machine &m) { return std::to_string(get(m)); },
            [get, high](Machine &m, Reader &, const Line &line) {
                get(m) = static_cast<std::remove_reference_t<decltype(get(m))>>(
                    Reader::parseNumber(line, line.value, high));
            }};
}

// A number from 0 to high that the machine computes and is set from.
Setting number(const char *name, unsigned long long high,
               std::function<std::uint64_t(Machine &)> get,
               std::function<void(Machine &, std::uint64_t)> set) {
    return {name, [get = std::move(get)](Machine &m) { return std::to_string(get(m)); },
            [set = std::move(set), high](Machine &m, Reader &, const Line &line) {
                set(m, Reader::parseNumber(line, line.value, high));
            }};
}

// A number from low to high, kept where get points.
template <class Get>
Setting signedNumber(const char *name, long long low, long long high, Get get) {
    return {name, [get](Machine &m) { return std::to_string(get(m)); },
            [get, low, high](Machine &m, Reader &, const Line &line) {
                get(m) = static_cast<std::remove_reference_t<decltype(get(m))>>(
                    Reader::parseSigned(line, low, high));
            }};
}

// Text of the machine's code page, kept where get points.
template <class Get> Setting text(const char *name, Get get) {
    return {name, [get](Machine &m) { return encode(get(m)); },
            [get](Machine &m, Reader &reader, const Line &line) {
                get(m) = reader.decode(line, line.value);
            }};
}

// Texts separated by " | ", kept where get points.
template <class Get> Setting texts(const char *name, Get get) {
    return {name, [get](Machine &m) { return encodeAll(get(m), " | "); },
            [get](Machine &m, Reader &reader, const Line &line) {
                std::vector<std::string> read;
                for (const std::string &part : split(line.value, '|')) {
                    if (!part.empty()) {
                        read.push_back(reader.decode(line, part));
                    }
                }
                get(m) = read;
            }};
}

bool isX64(const Machine &m) { return m.system.x64; }
bool hasManifestedVersion(const Machine &m) { return m.system.version.manifestedMajor != 0; }

// "architecture = x64": a 64-bit Windows; absent, a 32-bit one.
Setting architecture() {
    return {"architecture",
            [](Machine &m) { return std::string(m.system.x64 ? "x64" : "x86"); },
            [](Machine &m, Reader &, const Line &line) {
                if (line.value != "x86" && line.value != "x64") {
                    Reader::fail(line.number, "architecture: x86 or x64, not " + line.value);
                }
                m.system.x64 = line.value == "x64";
            },
            true,
            false,
            isX64};
}

// "manifested-version = 10.0.19045": what a program manifested for Windows
// 10 is told, on Windows 8.1 and later.
Setting manifestedVersion() {
    return {"manifested-version",
            [](Machine &m) {
                return std::to_string(m.system.version.manifestedMajor) + "." +
                       std::to_string(m.system.version.manifestedMinor) + "." +
                       std::to_string(m.system.version.manifestedBuild);
            },
            [](Machine &m, Reader &, const Line &line) {
                const auto parts = split(line.value, '.');
                if (parts.size() != 3) {
                    Reader::fail(line.number,
                                 "manifested-version: MAJOR.MINOR.BUILD, not " + line.value);
                }
                m.system.version.manifestedMajor =
                    static_cast<DWORD>(Reader::parseNumber(line, parts[0], kDword));
                m.system.version.manifestedMinor =
                    static_cast<DWORD>(Reader::parseNumber(line, parts[1], kDword));
                m.system.version.manifestedBuild =
                    static_cast<DWORD>(Reader::parseNumber(line, parts[2], kDword));
            },
            true,
            false,
            hasManifestedVersion};
}

// "program-manifested = yes": the setup program is manifested for Windows 10
// and told the manifested version.
Setting programManifested() {
    return {
        "program-manifested",
        [](Machine &m) { return std::string(m.system.version.programManifested ? "yes" : "no"); },
        [](Machine &m, Reader &, const Line &line) {
            if (line.value != "yes" && line.value != "no") {
                Reader::fail(line.number, "program-manifested: yes or no, not " + line.value);
            }
            m.system.version.programManifested = line.value == "yes";
        },
        true,
        false,
        hasManifestedVersion};
}

void writeDrives(Machine &m, std::ostream &out) {
    for (const auto &[letter, drive] : m.files.drives) {
        out << letter << " = " << kDriveTypeNames.at(drive.type) << "\n";
    }
}

void readDrives(Machine &m, Reader &reader, const std::vector<Line> &lines) {
    for (const Line &line : lines) {
        if (line.name.size() != 1 || line.name[0] < 'A' || line.name[0] > 'Z') {
            Reader::fail(line.number, "a drive is one letter from A to Z: " + line.name);
        }
        Reader::refuseDuplicate(m.files.drives.count(line.name[0]) != 0, line, "a drive");
        m.files.drives[line.name[0]] =
            Drive{reader.driveRoot() + "/" + line.name, keyOf(kDriveTypeNames, line, line.value)};
    }
}

void writeEnvironment(Machine &m, std::ostream &out) {
    for (const auto &[name, value] : m.system.environment) {
        out << encode(name) << " = " << encode(value) << "\n";
    }
}

void readEnvironment(Machine &m, Reader &reader, const std::vector<Line> &lines) {
    for (const Line &line : lines) {
        const std::string name = reader.decode(line, line.name);
        if (name.empty()) {
            Reader::fail(line.number, "an environment variable needs a name: = " + line.value);
        }
        Reader::refuseDuplicate(m.system.environment.count(name) != 0, line,
                                "an environment variable");
        m.system.environment[name] = reader.decode(line, line.value);
    }
}

void writeShellFolders(Machine &m, std::ostream &out) {
    for (const auto &[csidl, folder] : m.system.specialFolders) {
        out << csidl << " = " << encode(folder) << "\n";
    }
}

void readShellFolders(Machine &m, Reader &reader, const std::vector<Line> &lines) {
    for (const Line &line : lines) {
        const auto csidl = static_cast<int>(Reader::parseNumber(line, line.name, kLong));
        Reader::refuseDuplicate(m.system.specialFolders.count(csidl) != 0, line, "a shell folder");
        m.system.specialFolders[csidl] = reader.decode(line, line.value);
    }
}

void writeProcesses(Machine &m, std::ostream &out) {
    for (const auto &[id, process] : m.processes.running) {
        if (!process->exited) {
            out << id << " = " << encode(process->image) << "\n";
        }
    }
}

void readProcesses(Machine &m, Reader &reader, const std::vector<Line> &lines) {
    const Line &next = reader.setting("machine", "next-process-id");
    for (const Line &line : lines) {
        auto process = std::make_shared<Process>();
        process->id = static_cast<DWORD>(Reader::parseNumber(line, line.name, kDword));
        if (process->id == 0) {
            Reader::fail(line.number, "a process id is a number from 1 to 4294967295: 0");
        }
        Reader::refuseDuplicate(m.processes.running.count(process->id) != 0, line, "a process");
        // Ids are given out upwards from next-process-id: one at or below a
        // running process's would be given to a new program over it.
        if (process->id >= m.processes.nextProcessId) {
            Reader::fail(next.number, "next-process-id: " + next.value +
                                          " is not above the id of the running process " +
                                          line.name + " (line " + std::to_string(line.number) +
                                          ")");
        }
        process->image = reader.decode(line, line.value);
        m.processes.running[process->id] = process;
    }
}

void writeWindows(Machine &m, std::ostream &out) {
    for (const auto &window : m.processes.desktop.windows) {
        out << "window = " << encode(window->title) << " | " << encode(window->className) << " | "
            << window->processId << " | " << describeReactions(*window) << "\n";
    }
}

// Windows are listed topmost first; each new one goes on top.
void readWindows(Machine &, Reader &reader, const std::vector<Line> &lines) {
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        const auto fields = split(line->value, '|');
        if (fields.size() != 4) {
            Reader::fail(line->number, "a window is title | class | process id | reactions");
        }
        const auto process = static_cast<DWORD>(Reader::parseNumber(*line, fields[2], kDword));
        readReactions(
            createWindow(reader.decode(*line, fields[0]), process, reader.decode(*line, fields[1])),
            *line, fields[3]);
    }
}

void writeSemaphores(Machine &m, std::ostream &out) {
    for (const auto &[name, object] : m.kernel.namedObjects) {
        auto semaphore = std::dynamic_pointer_cast<Semaphore>(object.lock());
        if (!semaphore) {
            continue;
        }
        DWORD holder = 0;
        for (const auto &[id, process] : m.processes.running) {
            for (const auto &held : process->heldObjects) {
                holder = held == semaphore && !process->exited ? id : holder;
            }
        }
        if (holder != 0) {
            out << "semaphore = " << encode(name) << " | " << semaphore->count << " | "
                << semaphore->maximum << " | " << holder << "\n";
        }
    }
}

void readSemaphores(Machine &m, Reader &reader, const std::vector<Line> &lines) {
    for (const Line &line : lines) {
        const auto fields = split(line.value, '|');
        if (fields.size() != 4) {
            Reader::fail(line.number, "a semaphore is name | count | maximum | holding process id");
        }
        const std::string name = reader.decode(line, fields[0]);
        Reader::refuseDuplicate(m.kernel.namedObjects.count(name) != 0, line, "a semaphore");
        // As CreateSemaphoreA takes them: a maximum of at least 1, a count up to it.
        const auto maximum = static_cast<LONG>(Reader::parseNumber(line, fields[2], kLong));
        if (maximum == 0) {
            Reader::fail(line.number, "a semaphore's maximum is a number from 1 to 2147483647: 0");
        }
        const auto count = static_cast<LONG>(
            Reader::parseNumber(line, fields[1], static_cast<unsigned long long>(maximum)));
        const auto holder = static_cast<DWORD>(Reader::parseNumber(line, fields[3], kDword));
        if (m.processes.running.count(holder) == 0) {
            Reader::fail(line.number, "the semaphore's holder is no running process: " + fields[3]);
        }
        createSemaphore(name, count, maximum, holder);
    }
}

void writeServices(Machine &m, std::ostream &out) {
    for (const auto &[name, service] : m.services.services) {
        out << "service = " << encode(service->name) << " | " << encode(service->displayName)
            << " | " << kServiceStateNames.at(service->state) << " | " << service->stopDuration
            << " | " << service->stopWaitHint << " | " << (service->acceptsStop ? "yes" : "no")
            << " | " << encodeAll(service->dependents, ", ") << "\n";
    }
}

void readServices(Machine &m, Reader &reader, const std::vector<Line> &lines) {
    for (const Line &line : lines) {
        const auto fields = split(line.value, '|');
        if (fields.size() != 7 || (fields[5] != "yes" && fields[5] != "no")) {
            Reader::fail(line.number, "a service is name | display name | state | stop duration | "
                                      "wait hint | accepts stop (yes/no) | dependents");
        }
        const std::string name = reader.decode(line, fields[0]);
        Reader::refuseDuplicate(m.services.find(name) != nullptr, line, "a service");
        Service &service = m.services.add(name, keyOf(kServiceStateNames, line, fields[2]));
        service.displayName = reader.decode(line, fields[1]);
        service.stopDuration = Reader::parseNumber(line, fields[3], kAll);
        service.stopWaitHint = static_cast<DWORD>(Reader::parseNumber(line, fields[4], kDword));
        service.acceptsStop = fields[5] == "yes";
        for (const std::string &dependent : split(fields[6], ',')) {
            if (!dependent.empty()) {
                service.dependents.push_back(reader.decode(line, dependent));
            }
        }
    }
}

// A [section] of machine.conf: the comment written above it, its settings,
// and the entries of a list that follow them.
struct Section {
    const char *name;
    const char *comment;
    std::vector<Setting> settings;
    void (*writeEntries)(Machine &, std::ostream &) = nullptr;
    void (*readEntries)(Machine &, Reader &, const std::vector<Line> &) = nullptr;
    // The name of every line of a list whose lines are "name = entry".
    const char *entryName = nullptr;
};

// machine.conf as the writer writes it and the reader reads it, in order.
const std::vector<Section> &sections() {
    static const std::vector<Section> table = {
        {"machine",
         "# An emulated Windows machine of the RADOZAVU host (docs/host.md).\n",
         {
             {"format", [](Machine &) { return std::to_string(kStateFormat); },
              [](Machine &, Reader &reader, const Line &line) { reader.readFormat(line); }, true},
             {"text", [](Machine &) { return std::string("utf-8"); },
              [](Machine &, Reader &reader, const Line &line) { reader.readEscapedText(line); },
              true},
             number("platform", kDword,
                    [](Machine &m) -> DWORD & { return m.system.version.platform; }),
             number("major", kDword, [](Machine &m) -> DWORD & { return m.system.version.major; }),
             number("minor", kDword, [](Machine &m) -> DWORD & { return m.system.version.minor; }),
             number("build", kDword, [](Machine &m) -> DWORD & { return m.system.version.build; }),
             text("service-pack",
                  [](Machine &m) -> std::string & { return m.system.version.servicePack; }),
             architecture(),
             manifestedVersion(),
             programManifested(),
             // Text is decoded in the code page, so it is read first.
             {"codepage", [](Machine &m) { return std::to_string(m.system.codePage); },
              [](Machine &m, Reader &reader, const Line &line) {
                  m.system.codePage =
                      static_cast<UINT>(Reader::parseNumber(line, line.value, 65535));
                  if (!isSupportedCodePage(m.system.codePage)) {
                      Reader::fail(line.number,
                                   "unsupported code page: " + std::to_string(m.system.codePage));
                  }
                  reader.setCodePage(m.system.codePage);
              },
              false, true},
             number(
                 "clock", kClockMaximum, [](Machine &m) { return m.kernel.clock.now(); },
                 [](Machine &m, std::uint64_t now) { m.kernel.clock.start(now); }),
             number(
                 "system-time", kSystemTimeMaximum, [](Machine &) { return systemTimeNow(); },
                 [](Machine &, std::uint64_t fileTime) { setSystemTime(fileTime); }),
             signedNumber(
                 "utc-offset", -86400, 86400,
                 [](Machine & m) -> auto & { return m.system.calendar.utcOffsetSeconds; }),
             text("current-directory",
                  [](Machine &m) -> std::string & { return m.files.currentDirectory; }),
             text("windows-folder",
                  [](Machine &m) -> std::string & { return m.system.windowsFolder; }),
             text("program-file",
                  [](Machine &m) -> std::string & { return m.processes.programFile; }),
             number("next-process-id", kDword,
                    [](Machine &m) -> DWORD & { return m.processes.nextProcessId; }),
         }},
        {"drives", "", {}, writeDrives, readDrives},
        {"environment", "", {}, writeEnvironment, readEnvironment},
        {"shell-folders", "# CSIDL number = folder\n", {}, writeShellFolders, readShellFolders},
        {"user",
         "# The user answers every message box with this button, after closing\n"
         "# the windows of the titles in closes (separated by |).\n",
         {
             signedNumber("answer", 0, kLastButton,
                          [](Machine &m) -> int & { return m.processes.user.scripted.button; }),
             texts("closes",
                   [](Machine &m) -> std::vector<std::string> & {
                       return m.processes.user.scripted.closes;
                   }),
         }},
        {"processes", "# process id = program file\n", {}, writeProcesses, readProcesses},
        {"windows",
         "# window = title | class | process id | reactions (MESSAGE after N ms [ends process], "
         "...)\n"
         "# topmost first\n",
         {},
         writeWindows,
         readWindows,
         "window"},
        {"semaphores",
         "# semaphore = name | count | maximum | holding process id\n",
         {},
         writeSemaphores,
         readSemaphores,
         "semaphore"},
        {"services",
         "# service = name | display name | state | stop duration ms | wait hint ms |\n"
         "#           accepts stop (yes/no) | dependents (a, b, ...)\n",
         {},
         writeServices,
         readServices,
         "service"},
    };
    return table;
}

// Refuses what no version of the host writes: a section, a setting or a list
// entry of an unknown name, a setting given twice, a section left out.
void refuseUnknown(const Reader &reader) {
    for (const auto &[name, line] : reader.headers()) {
        if (std::none_of(sections().begin(), sections().end(),
                         [&name = name](const Section &section) { return name == section.name; })) {
            Reader::fail(line, "unknown section [" + name + "]");
        }
    }
    for (const Section &section : sections()) {
        if (reader.headers().count(section.name) == 0) {
            throw MachineError(std::string("machine.conf: missing section [") + section.name + "]");
        }
        std::map<std::string, int> seen;
        for (const Line &line : reader.section(section.name)) {
            const bool known =
                section.entryName != nullptr
                    ? line.name == section.entryName
                    : section.readEntries != nullptr ||
                          std::any_of(section.settings.begin(), section.settings.end(),
                                      [&line](const Setting &s) { return line.name == s.name; });
            if (!known) {
                Reader::fail(line.number, "unknown setting in [" + std::string(section.name) +
                                              "]: " + line.name);
            }
            if (section.readEntries == nullptr) {
                if (const auto [first, added] = seen.emplace(line.name, line.number); !added) {
                    Reader::fail(line.number, line.name + " is set twice (first at line " +
                                                  std::to_string(first->second) + ")");
                }
            }
        }
    }
}

void readSetting(Machine &m, Reader &reader, const Section &section, const Setting &setting) {
    if (setting.optional && !reader.has(section.name, setting.name)) {
        return;
    }
    setting.read(m, reader, reader.setting(section.name, setting.name));
}

} // namespace

std::string writeSettings() {
    Machine &m = machine();
    std::ostringstream out;
    for (const Section &section : sections()) {
        out << (&section == &sections().front() ? "" : "\n") << section.comment << "["
            << section.name << "]\n";
        for (const Setting &setting : section.settings) {
            if (setting.written == nullptr || setting.written(m)) {
                out << setting.name << " = " << setting.write(m) << "\n";
            }
        }
        if (section.writeEntries != nullptr) {
            section.writeEntries(m, out);
        }
    }
    out << "\n" << kEndLine << "\n";
    return out.str();
}

int readSettings(const std::string &text, const std::string &driveRoot) {
    Reader reader(text, driveRoot);
    refuseUnknown(reader);
    Machine &m = machine();
    for (const Section &section : sections()) {
        for (const Setting &setting : section.settings) {
            if (setting.readFirst) {
                readSetting(m, reader, section, setting);
            }
        }
    }
    for (const Section &section : sections()) {
        for (const Setting &setting : section.settings) {
            if (!setting.readFirst) {
                readSetting(m, reader, section, setting);
            }
        }
        if (section.readEntries != nullptr) {
            section.readEntries(m, reader, reader.section(section.name));
        }
    }
    reader.refuseUnlessWhole();
    return reader.format();
}

} // namespace emu
