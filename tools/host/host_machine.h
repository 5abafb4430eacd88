// The machine a command of the host works on, behind one small interface: the
// emulated machine kept in a folder (tools/host/emulated/) or, on Windows, the
// real computer the host runs on (tools/host/windows/). The script language,
// the transcript and the change report are the same for both; only what
// touches the machine differs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "exports_table.h"
#include "host_error.h"

namespace host {

// What one call gave and did.
struct Outcome {
    CallResult result;
    std::vector<std::string> changes;  // the change report, in the machine's code page
    std::vector<std::string> boxTexts; // the texts of the message boxes it showed
};

// The host's options of call and run.
struct HostOptions {
    std::string folder; // the emulated machine's folder
    std::string library;
    bool wait = true;
    bool check = false;
    bool allowRestart = false;
    std::string junitReport; // run --junit: the file of the JUnit report
    std::string htmlReport;  // run --report html=FILE: the file of the HTML report
    // run --windows: the versions and architectures of the editions to run
    // the scripts on (empty: the one machine), the folder that keeps each
    // edition's machine, transcript and journal (empty: ./editions), and
    // what a fresh edition's machine holds (code page 0: 1252); with
    // --machine, each edition is a copy of that folder.
    std::vector<std::string> windows;
    std::vector<std::string> arches;
    std::string editionsFolder;
    unsigned codePage = 0;
    bool withProductRunning = false;
    bool foldFolders = false;
};

class Machine {
public:
    virtual ~Machine() = default;

    // The ANSI code page of the machine's text.
    [[nodiscard]] virtual unsigned codePage() const = 0;

    // Calls one export by name, with the report of what the call changed.
    // Throws UsageError for an unknown export or wrong arguments (checkCall).
    virtual Outcome call(const std::string &exportName, const CallArguments &arguments) = 0;

    // The set-up lines and the expectations of a script. Registry keys are
    // written "HKLM\...", "HKCU\..." or "HKU\..."; paths are the machine's.
    virtual void setString(const std::string &key, const std::string &name,
                           const std::string &text) = 0;
    virtual void setDword(const std::string &key, const std::string &name, unsigned long value) = 0;
    // A REG_SZ value's text or a REG_DWORD in decimal; nothing when absent.
    virtual std::optional<std::string> valueText(const std::string &key,
                                                 const std::string &name) = 0;
    virtual bool keyExists(const std::string &key) = 0;
    virtual void writeFile(const std::string &path, const std::string &content) = 0;
    // The file's content; nothing when there is no such file.
    virtual std::optional<std::string> readFile(const std::string &path) = 0;
    // The user answers every message box with button (IDOK, IDYES, ...),
    // after closing the programs of the windows with these titles.
    virtual void setAnswer(int button, const std::vector<std::string> &closingTitles) = 0;
    // Time passes for milliseconds.
    virtual void wait(unsigned long long milliseconds) = 0;
    // The installer's copy of the product's sibling libraries into a folder.
    virtual void putSiblingLibraries(const std::string &folder) = 0;
    // The paths (C:\...) and registry keys (HKLM\...) a script or command line
    // names: where the machine cannot be watched whole, the change report
    // watches these too.
    virtual void watch(const std::vector<std::string> &places) = 0;

    // Ends the command: the library unloaded, what it changed kept, the
    // command's record (journal, its last line "-> exit status N") kept where
    // the machine keeps one.
    virtual void finish(const std::string &journal) = 0;
};

// The machine of this platform, opened for a command described by command
// (a machine folder locked and loaded, or the real computer prepared), with
// the library loaded into it.
std::unique_ptr<Machine> openMachine(const HostOptions &options, const std::string &command);

// The code page run --check checks a script against: the machine's when it
// has one, else 0 (UTF-8 only).
unsigned checkCodePage(const HostOptions &options);

// Throws UsageError when path names a file a machine keeps for itself (a
// machine folder's state, journal or lock), which no file the host writes
// for the user may replace.
void refuseMachineFile(const std::string &path);

// The machine subcommands of this platform (radozavu machine ...), their
// usage, their lines of the host's usage and what the usage says of the
// machine: declared with the machine, since each platform's folder defines
// them beside its machine (emulated/new_machine.cpp, windows/).
int machineCommand(const std::vector<std::string> &words);
std::string machineUsage();
std::string machineSummary();
extern const char *const kMachineHelp;

// The option that names another build of the library, and its default.
extern const char *const kLibraryOption;
std::string defaultLibraryPath();

// The platform marks of script lines: the name of the machine this host
// drives ("emulated" or "windows").
extern const char *const kPlatformName;

} // namespace host
