// radozavu: runs the library's exports against an emulated Windows machine
// kept in a folder, the way the installer calls them, and tells what each
// call changed on the machine.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "machine_folder.h"
#include "script.h"
#include "session.h"

namespace {

using namespace host;

constexpr const char *kUsage = R"(usage: radozavu [--library FILE] COMMAND ...

Commands:
  machine new DIR [--windows VERSION] [--codepage N] [--with-product-running]
                 create an emulated machine in DIR (VERSION: 95 98 me nt4 nt4sp6
                 2000 xp 2003 vista; default xp; code page 1252 or 932 ...),
                 optionally with Quillane installed and its programs running
  call [--machine DIR] EXPORT [ARG ...] [--param TEXT] [--owner N] [--no-record]
                 call one export and print its result and what it changed
  run [--machine DIR] SCRIPT
                 run an installer script (one call a line, expect lines)
  exports        list every export with its arguments and result

The machine folder defaults to $RADOZAVU_MACHINE, else ./machine.
--library FILE loads another build of the library (default: libRADOZAVU.so
beside this program). 'radozavu COMMAND --help' tells more.
)";

constexpr const char *kScriptHelp = R"(Script lines (blank lines and lines starting with # are skipped):
  EXPORT [ARG ...] [--param TEXT] [--owner N] [--no-record]
                                    call an export ($result: the last result)
  expect result TEXT | expect result-not TEXT
  expect value KEY NAME TEXT        (REG_SZ text, or a REG_DWORD in decimal)
  expect no-value KEY NAME | expect key KEY | expect no-key KEY
  expect file PATH | expect no-file PATH | expect file-contains PATH TEXT
  expect boxes N | expect box-text TEXT                 (of the last call)
  expect changes N | expect change TEXT                 (of the last call)
  write PATH <<END ... END          write a file on the machine (CRLF lines)
  set-sz KEY NAME TEXT | set-dword KEY NAME NUMBER
  answer NUMBER [closing TITLE ...] the user answers every message box so,
                                    after closing the programs of those windows
  put-sibling-libraries FOLDER      copy Rezedev.dll and ZepProj.dll there
  wait MILLISECONDS                 time passes on the machine's clock
KEY: HKLM\..., HKCU\... or HKU\...   Words with blanks go in double quotes.
A failed expectation stops the script with exit status 1.
)";

int usage(const std::string &message) {
    std::cerr << "radozavu: " << message << "\n";
    return 2;
}

bool wantsHelp(const std::vector<std::string> &words) {
    for (const std::string &word : words) {
        if (word == "--help" || word == "-h") {
            return true;
        }
    }
    return false;
}

std::string takeMachineOption(std::vector<std::string> &words) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--machine") {
            if (i + 1 >= words.size()) {
                throw UsageError("--machine needs a folder");
            }
            std::string folder = words[i + 1];
            words.erase(words.begin() + static_cast<long>(i), words.begin() + static_cast<long>(i) + 2);
            return folder;
        }
    }
    const char *fromEnvironment = std::getenv("RADOZAVU_MACHINE");
    return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "machine";
}

int listExports() {
    for (const ExportInfo &info : exportTable()) {
        std::string arguments = info.arguments;
        if (info.signature == Signature::Record && arguments.rfind("--", 0) != 0) {
            arguments = "(call record; " + arguments.substr(1);
        }
        std::cout << info.name << "  " << (arguments.empty() ? "(no arguments)" : arguments)
                  << "  -> " << resultKind(info.signature) << "\n";
    }
    return 0;
}

int newMachine(std::vector<std::string> words) {
    if (wantsHelp(words)) {
        std::cout << "usage: radozavu machine new DIR [--windows VERSION] [--codepage N] "
                     "[--with-product-running]\n";
        return 0;
    }
    std::string folder;
    std::string windows = "xp";
    unsigned codePage = 1252;
    bool withProductRunning = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--with-product-running") {
            withProductRunning = true;
        } else if ((words[i] == "--windows" || words[i] == "--codepage") && i + 1 < words.size()) {
            if (words[i] == "--windows") {
                windows = words[++i];
            } else {
                char *end = nullptr;
                codePage = static_cast<unsigned>(std::strtoul(words[++i].c_str(), &end, 10));
                if (*end != '\0') {
                    return usage("--codepage takes a number");
                }
            }
        } else if (words[i].rfind("--", 0) == 0) {
            return usage("unknown option for machine new: " + words[i]);
        } else if (folder.empty()) {
            folder = words[i];
        } else {
            return usage("machine new takes one folder");
        }
    }
    if (folder.empty()) {
        return usage("machine new needs a folder");
    }
    createMachine(folder, windows, codePage, withProductRunning);
    std::cout << "created a Windows " << windows << " machine in " << folder
              << (withProductRunning ? ", Quillane installed and running" : "") << "\n";
    return 0;
}

int callOne(std::vector<std::string> words, const std::string &library) {
    if (wantsHelp(words)) {
        std::cout << "usage: radozavu call [--machine DIR] EXPORT [ARG ...] [--param TEXT] "
                     "[--owner N] [--no-record]\n";
        return 0;
    }
    const std::string folder = takeMachineOption(words);
    if (words.empty()) {
        return usage("call needs an export name");
    }
    const CallArguments arguments = parseCallArguments(words, 1);
    Session session(folder, library);
    const Session::Outcome outcome = session.call(words[0], arguments);
    printOutcome(std::cout, words[0], outcome);
    std::string journal = "call " + words[0];
    for (std::size_t i = 1; i < words.size(); ++i) {
        journal += " \"" + words[i] + "\"";
    }
    journal += "\n  -> " + visible(outcome.result.describe()) + "\n";
    for (const std::string &change : outcome.changes) {
        journal += "  " + change + "\n";
    }
    session.finish();
    appendJournal(folder, journal);
    return 0;
}

int runOne(std::vector<std::string> words, const std::string &library) {
    if (wantsHelp(words)) {
        std::cout << "usage: radozavu run [--machine DIR] SCRIPT\n\n" << kScriptHelp;
        return 0;
    }
    const std::string folder = takeMachineOption(words);
    if (words.size() != 1) {
        return usage("run takes one script");
    }
    std::ifstream script(words[0]);
    if (!script) {
        return usage("cannot read script " + words[0]);
    }
    Session session(folder, library);
    const int status = runScript(script, words[0], session, std::cout);
    session.finish();
    appendJournal(folder, "run " + words[0] + " -> exit status " + std::to_string(status) + "\n");
    return status;
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    std::string library = defaultLibraryPath();
    if (words.size() >= 2 && words[0] == "--library") {
        library = words[1];
        words.erase(words.begin(), words.begin() + 2);
    }
    if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        std::cout << kUsage;
        return words.empty() ? 2 : 0;
    }
    const std::string command = words[0];
    words.erase(words.begin());
    try {
        if (command == "exports") {
            return listExports();
        }
        if (command == "machine") {
            if (words.empty() || words[0] != "new") {
                return usage("machine takes the subcommand new");
            }
            words.erase(words.begin());
            return newMachine(words);
        }
        if (command == "call") {
            return callOne(words, library);
        }
        if (command == "run") {
            return runOne(words, library);
        }
        return usage("unknown command: " + command + " (radozavu --help)");
    } catch (const UsageError &error) {
        return usage(error.what());
    } catch (const MachineError &error) {
        return usage(error.what());
    } catch (const std::exception &error) {
        return usage(error.what());
    }
}
