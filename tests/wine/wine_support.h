// Support of the Wine tests: the loaded RADOZAVU.DLL, files and registry
// values of the test's prefix, and a watcher that reads and answers the
// message boxes the library shows.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "radozavu.h"

namespace wine {

// The folder of the test program, with a trailing backslash: the DLL, the
// stand-in libraries and the stand-in programs lie there.
std::string programFolder();

// The library as the installer has it: loaded from beside the test program,
// exports found by their undecorated names.
class Library {
public:
    Library();
    ~Library();
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    [[nodiscard]] HMODULE module() const { return module_; }
    FARPROC find(const char *name) const;
    template <class F> F get(const char *name) const {
        // Through void (*)(void), the type that converts to any function type.
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(find(name)));
    }

private:
    HMODULE module_;
};

// A message box as the user sees it.
struct SeenBox {
    bool seen = false;
    HWND owner = nullptr;
    std::string title;
    std::string text;
    bool hasIcon = false;
};

// Waits on a thread of its own for a message box with the given title,
// reads it and presses OK. wait() returns what it saw; a box that does not
// appear within the time limit leaves seen false instead of hanging.
class BoxWatcher {
public:
    explicit BoxWatcher(std::string title, DWORD timeoutMs = 15000);
    // Runs beforeAnswer once the box has been read, before OK is pressed (the
    // user closes a program, then answers).
    BoxWatcher(std::string title, std::function<void()> beforeAnswer, DWORD timeoutMs = 15000);
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher &) = delete;
    BoxWatcher &operator=(const BoxWatcher &) = delete;
    SeenBox wait();

private:
    std::string title_;
    DWORD timeoutMs_;
    std::function<void()> beforeAnswer_;
    SeenBox box_;
    std::thread thread_;
};

// A fresh folder under C:\radozavu-tests for one test, with a trailing backslash.
std::string freshFolder(const std::string &name);
void writeFile(const std::string &path, const std::string &content);
std::string readFile(const std::string &path);
bool fileExists(const std::string &path);

// Registry conveniences over the real API.
void setString(HKEY root, const std::string &path, const char *name, const std::string &value);
void setDword(HKEY root, const std::string &path, const char *name, DWORD value);
bool readString(HKEY root, const std::string &path, const char *name, std::string &value);
bool readDword(HKEY root, const std::string &path, const char *name, DWORD &value);
void deleteTree(HKEY root, const std::string &path);

} // namespace wine
