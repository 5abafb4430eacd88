// run --windows on the emulated machine: a machine per edition, made fresh or
// copied from a given machine folder and told the edition's version, each run
// in a process of its own, as many at once as the computer has processors.
// Each edition's machine folder (with its journal) and transcript stay in the
// editions folder; its results come back to the command through a file.
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "emulated/folder_lock.h"
#include "emulated/new_machine.h"
#include "emulator/persistence/machine_folder.h"
#include "matrix.h"

namespace fs = std::filesystem;

namespace host {
namespace {

struct Edition {
    std::string name; // "7-x64": also its machine folder's name
    const emu::WindowsEdition *windows;
    std::string arch;
};

// The editions asked for, version by version, each architecture asked for
// (by default the version's own); those that never existed become notes.
std::vector<Edition> editionsAsked(const HostOptions &options, const std::optional<bool> &copiedX64,
                                   std::vector<std::string> &skipped) {
    std::vector<Edition> editions;
    for (const std::string &version : options.windows) {
        const emu::WindowsEdition &windows = editionOf(version);
        std::vector<std::string> arches = options.arches;
        if (copiedX64) {
            arches = {*copiedX64 ? "x64" : "x86"};
        } else if (arches.empty()) {
            arches = {emu::x64ByDefault(windows) ? "x64" : "x86"};
        }
        for (const std::string &arch : arches) {
            if (arch != "x86" && arch != "x64") {
                throw UsageError("--arch takes x86 or x64, not " + arch);
            }
            const std::string name = version + "-" + arch;
            if (std::any_of(editions.begin(), editions.end(),
                            [&](const Edition &e) { return e.name == name; })) {
                throw UsageError("--windows and --arch name the edition " + name + " twice");
            }
            try {
                is64Bit(windows, arch);
                editions.push_back({name, &windows, arch});
            } catch (const UsageError &never) {
                skipped.emplace_back(never.what());
            }
        }
    }
    return editions;
}

// The editions folder: made, or refused unless empty, so that no earlier
// run's machines or transcripts are mixed with this one's.
fs::path editionsFolder(const HostOptions &options) {
    fs::path folder = options.editionsFolder.empty() ? "editions" : options.editionsFolder;
    std::error_code error;
    if (fs::exists(folder, error) && !fs::is_empty(folder, error)) {
        throw HostError("the editions folder " + folder.string() +
                        " is not empty (it keeps each edition's machine, transcript and "
                        "journal): name another with --editions, or remove it");
    }
    fs::create_directories(folder);
    return folder;
}

// Writes a text as its length and its bytes, and reads it back.
void putText(std::ostream &out, const std::string &text) { out << text.size() << '\n' << text; }
std::string takeText(std::istream &in) {
    std::size_t size = 0;
    in >> size;
    in.ignore(1);
    std::string text(size, '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (!in) {
        throw HostError("an edition's results are cut short");
    }
    return text;
}

void putResults(std::ostream &out, const EditionRun &run) {
    putText(out, run.couldNotRun);
    for (const std::optional<ScriptRun> &script : run.runs) {
        putText(out, script ? "ran" : "");
        if (script) {
            putText(out, std::to_string(script->status));
            putText(out, script->failure);
            putText(out, std::to_string(script->printed.size()));
            for (const std::string &printed : script->printed) {
                putText(out, printed);
            }
        }
    }
}

void takeResults(std::istream &in, EditionRun &run, std::size_t scripts) {
    run.couldNotRun = takeText(in);
    for (std::size_t s = 0; s < scripts; ++s) {
        if (takeText(in).empty()) {
            run.runs.emplace_back();
            continue;
        }
        ScriptRun script;
        script.status = std::stoi(takeText(in));
        script.failure = takeText(in);
        for (std::size_t count = std::stoul(takeText(in)); count > 0; --count) {
            script.printed.push_back(takeText(in));
        }
        run.runs.emplace_back(script);
    }
}

// What one edition does in its own process: its machine made (or the copy
// told its version), the scripts run in turn as one command on it, its
// transcript kept beside it.
EditionRun runEdition(const HostOptions &options, const Edition &edition, const fs::path &folder,
                      std::vector<ScriptReport> reports, bool copied) {
    EditionRun result{edition.name, "", {}};
    try {
        if (copied) {
            emu::loadMachine(folder.string());
            emu::Machine &m = emu::machine();
            const bool manifested = m.system.version.programManifested;
            m.system.version = emu::editionVersion(*edition.windows, m.system.x64);
            m.system.version.programManifested = manifested;
            emu::saveMachine(folder.string(), emu::currentState(), [](const char *) {});
        } else {
            createMachine(folder.string(), edition.windows->name, edition.arch,
                          options.codePage == 0 ? 1252 : options.codePage,
                          options.withProductRunning);
        }
        HostOptions one = options;
        one.folder = folder.string();
        std::string names;
        for (const ScriptReport &report : reports) {
            names += (names.empty() ? "" : " ") + report.name;
        }
        const std::unique_ptr<Machine> machine = openMachine(one, "run " + names);
        std::ofstream transcript(folder.string() + ".txt", std::ios::binary);
        std::ostringstream failures;
        std::ostringstream journal;
        journal << "run " << names << "\n";
        const int status = runInTurn(reports, *machine, transcript, failures, journal);
        journal << "-> exit status " << status << "\n";
        machine->finish(journal.str());
    } catch (const std::exception &error) {
        result.couldNotRun = error.what();
    }
    for (const ScriptReport &report : reports) {
        result.runs.push_back(report.run);
    }
    return result;
}

// How a finished edition's process ended, when it left no results.
std::string howItEnded(int status) {
    if (WIFSIGNALED(status)) {
        return std::string("its process was ended by ") + strsignal(WTERMSIG(status));
    }
    return "its process ended with status " + std::to_string(WEXITSTATUS(status)) +
           " and no results";
}

// The file in which an edition's process leaves its results for the host.
fs::path resultsFile(const fs::path &root, const std::string &edition) {
    return root / ("." + edition + ".results");
}

std::size_t processors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) {
        return 1;
    }
    return std::max(1, CPU_COUNT(&set));
}

} // namespace

MatrixRun runEditions(const HostOptions &options, const std::vector<ScriptReport> &scripts) {
    MatrixRun matrix{scripts, {}, {}, options.foldFolders};
    const bool copied = !options.folder.empty();
    std::optional<bool> copiedX64;
    std::vector<Edition> editions;
    const fs::path root = editionsFolder(options);
    if (copied) {
        const FolderLock lock(options.folder, "run --windows (copied)", options.wait);
        emu::loadMachine(options.folder);
        copiedX64 = emu::machine().system.x64;
        editions = editionsAsked(options, copiedX64, matrix.skipped);
        for (const Edition &edition : editions) {
            fs::create_directories(root / edition.name);
            for (const char *part : {"state", "drives"}) {
                fs::copy(fs::path(options.folder) / part, root / edition.name / part,
                         fs::copy_options::recursive);
            }
        }
    } else {
        editions = editionsAsked(options, copiedX64, matrix.skipped);
    }
    matrix.editions.resize(editions.size());
    std::map<pid_t, std::size_t> running;
    const std::size_t slots = processors();
    std::cout.flush();
    std::cerr.flush();
    for (std::size_t next = 0; next < editions.size() || !running.empty();) {
        if (next < editions.size() && running.size() < slots) {
            const std::size_t index = next++;
            const fs::path results = resultsFile(root, editions[index].name);
            const pid_t child = fork();
            if (child == 0) {
                const EditionRun run = runEdition(options, editions[index],
                                                  root / editions[index].name, scripts, copied);
                std::ofstream out(results, std::ios::binary);
                putResults(out, run);
                out.close();
                _exit(out ? 0 : 2);
            }
            matrix.editions[index].name = editions[index].name;
            if (child < 0) {
                matrix.editions[index].couldNotRun =
                    std::string("cannot start its process: ") + std::strerror(errno);
                matrix.editions[index].runs.resize(scripts.size());
            } else {
                running[child] = index;
            }
            continue;
        }
        int status = 0;
        const pid_t done = waitpid(-1, &status, 0);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw HostError(std::string("cannot wait for the editions: ") + std::strerror(errno));
        }
        const auto found = running.find(done);
        if (found == running.end()) {
            continue;
        }
        EditionRun &run = matrix.editions[found->second];
        running.erase(found);
        const fs::path results = resultsFile(root, run.name);
        std::ifstream in(results, std::ios::binary);
        try {
            if (!in) {
                throw HostError(howItEnded(status));
            }
            takeResults(in, run, scripts.size());
        } catch (const std::exception &error) {
            run.couldNotRun = error.what();
            run.runs.assign(scripts.size(), std::nullopt);
        }
        std::error_code ignored;
        fs::remove(results, ignored);
    }
    return matrix;
}

} // namespace host
