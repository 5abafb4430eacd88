// Support of the Wine tests: the loaded RADOZAVU.DLL, files and registry
// values of the test's prefix, programs started beside the test program, and
// a watcher that reads and answers the message boxes the library shows.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "frame/export_list.h"

namespace wine {

// How long a check waits for what another process or thread does (a window
// shown, a program ended, a service state reached). A wait that succeeds
// returns at once, so the limit only has to tell "never" from "late": it is
// long enough that a loaded machine never fails a check.
constexpr DWORD kPatienceMs = 60000;

// The folder of the test program, with a trailing backslash: the DLL, the
// stand-in libraries and the stand-in programs lie there.
std::string programFolder();

// The exports of the export list, each found by its undecorated name and
// typed as radozavu.h declares it.
struct Exports {
#define RADOZAVU_EXPORT_ENTRY(name, result, arguments, commandLine, page) decltype(&::name) name;
#include "exports.inc"
#undef RADOZAVU_EXPORT_ENTRY
};

// The library as the installer has it: loaded from beside the test program,
// every export found when it loads; library->Name(...) calls export Name.
class Library {
public:
    Library();
    ~Library();
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    [[nodiscard]] HMODULE module() const { return module_; }
    const Exports *operator->() const { return &exports_; }

private:
    HMODULE module_;
    Exports exports_{};
};

// A message box as the user sees it.
struct SeenBox {
    bool seen = false;
    HWND owner = nullptr;
    std::string title;
    std::string text;
    bool hasIcon = false;
    std::vector<std::string> buttons; // the texts of its buttons, in window order
    int answered = 0;                 // boxes of the title answered in all, late ones included
    bool late = false;                // a box came only after the time limit
};

// Watches, on a thread of its own, for message boxes with the given title
// (an empty title: boxes of any title, of any program):
// reads the first one, runs beforeAnswer (the user closes a program, then
// answers) and presses OK. A box that appears only after the time limit is
// answered too, so the call that shows it cannot hang the suite, but it
// leaves seen false: the case fails instead.
class BoxWatcher {
public:
    explicit BoxWatcher(std::string title, DWORD timeoutMs = kPatienceMs);
    BoxWatcher(std::string title, std::function<void()> beforeAnswer,
               DWORD timeoutMs = kPatienceMs);
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher &) = delete;
    BoxWatcher &operator=(const BoxWatcher &) = delete;
    // Waits until a box has been answered or the time limit has passed,
    // then stops watching.
    SeenBox wait();
    // Stops watching at once: for a call that has returned, so that any box
    // it showed has been answered already.
    SeenBox finish();

private:
    void answer(HWND box, bool inTime);

    std::string title_;
    DWORD timeoutMs_;
    DWORD start_;
    std::function<void()> beforeAnswer_;
    SeenBox box_;
    std::atomic<bool> firstAnswered_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The command line of a program beside the test program, with arguments.
std::string besideProgram(const char *program, const std::string &arguments = "");
// The command line of the stand-in program_standin.exe copied, under a file
// name of the product's programs (QLNCLIENT.EXE ...), into a folder of its own:
// setup takes a window for the product's only when its program bears that
// name.
std::string productProgram(const char *fileName, const std::string &arguments);
// The command line of an installer in a setup folder of the test's (with its
// trailing backslash): installer_standin.exe and RADOZAVU.DLL copied there.
std::string installerIn(const std::string &folder, const std::string &arguments);

// A program started for one test and ended by it: a program still running
// when the test is done is ended.
class Program {
public:
    explicit Program(const std::string &commandLine);
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    [[nodiscard]] bool started() const { return started_; }
    [[nodiscard]] DWORD id() const { return info_.dwProcessId; }
    // Waits, at most kPatienceMs, until a top-level window of each title exists.
    bool showsWindows(std::initializer_list<const char *> titles) const;
    // The exit code once the program has ended, or STILL_ACTIVE after limitMs.
    DWORD exitCode(DWORD limitMs) const;

private:
    bool started_ = false;
    PROCESS_INFORMATION info_{};
};

// A fresh folder under C:\radozavu-tests for one test, with a trailing backslash.
std::string freshFolder(const std::string &name);
void writeFile(const std::string &path, const std::string &content);
std::string readFile(const std::string &path);
bool fileExists(const std::string &path);
// Makes link (in a folder that exists) a junction leading to the folder
// target, as a user can in a folder they can write. Wine 8 makes no link
// itself (CreateSymbolicLinkA does nothing), so under Wine a Unix symbolic
// link stands for it, made by /bin/ln, which Wine starts as a Unix program;
// Wine shows a link to a folder as a reparse point. On Windows, mklink /J.
// False when no junction could be made.
bool makeJunction(const std::string &link, const std::string &target);
// Removes a junction made so, and not the folder it leads to (which Wine 8's
// RemoveDirectoryA removes instead of the link).
bool removeJunction(const std::string &link);

// Registry conveniences over the real API.
void setString(HKEY root, const std::string &path, const char *name, const std::string &value);
void setDword(HKEY root, const std::string &path, const char *name, DWORD value);
bool readString(HKEY root, const std::string &path, const char *name, std::string &value);
bool readDword(HKEY root, const std::string &path, const char *name, DWORD &value);
void deleteTree(HKEY root, const std::string &path);

// The network provider order and the Windows folder's debug log
// (QLNQUILL.INI) as a test found them: the order is put back and the log
// removed when the keeper goes.
class ProviderOrderKeeper {
public:
    static constexpr const char *kOrderKey =
        "System\\CurrentControlSet\\Control\\NetworkProvider\\Order";
    ProviderOrderKeeper();
    ~ProviderOrderKeeper();
    ProviderOrderKeeper(const ProviderOrderKeeper &) = delete;
    ProviderOrderKeeper &operator=(const ProviderOrderKeeper &) = delete;
    [[nodiscard]] const std::string &debugIni() const { return ini_; }
    // The order stored now.
    static std::string order();

private:
    std::string ini_;
    bool hadOrder_ = false;
    std::string savedOrder_;
};

} // namespace wine
