// Quillane as a machine made with --with-product-running holds it and as
// machine start-product installs it on a real computer: one description for
// both hosts (emulated/product_programs.cpp, windows/product_standins.cpp).
// The programs and services are stand-ins with the windows, the semaphore
// and the stop behaviour the library's exports look for.
#pragma once

#include <cstdint>
#include <vector>

namespace host::product {

// The install folder under the Program Files folder a 32-bit process is
// given (C:\Program Files (x86) on a 64-bit Windows), and the installer's key
// (in the 32-bit view of HKLM) with its values.
constexpr const char *kFolderBelowProgramFiles = "\\Brevanta\\Quillane";
constexpr const char *kKey = "Software\\Brevanta\\Quillane\\Current Version";
constexpr const char *kProductName = "Quillane";

// The window message the client obeys by exiting (the product's own), and
// the close every other program obeys (WM_CLOSE).
constexpr unsigned kExitRequest = 0x101D;
constexpr unsigned kCloseRequest = 0x0010;

struct Program {
    const char *file;
    std::vector<const char *> titles;
    bool holdsZep;         // holds the single-instance semaphore "ZEP"
    unsigned closesOn;     // the message its windows obey
    std::uint64_t closeMs; // how long after it a window closes (emulated machine)
};

inline const std::vector<Program> kPrograms = {
    {"QLNCLIENT.EXE", {"Quillane - Project Manager", "Synchronization"}, true, kExitRequest, 400},
    {"QLNSRVCON.EXE", {"Quillane Synchronization Server Console 5.0"}, false, kCloseRequest, 50},
    {"QLNSRVAGT.EXE", {"Quillane Synchronization Server Agent 5.0"}, false, kCloseRequest, 50},
    {"QLNAGENT.EXE", {"Quillane Agent"}, false, kCloseRequest, 0},
};

// The program every service runs, and the earlier version's library, which
// the clean-up removes.
constexpr const char *kServiceProgram = "QLNSYNCService.exe";
constexpr const char *kOldLibrary = "BIN\\MFC42.DLL";

struct Service {
    const char *name;
    const char *displayName;
    const char *dependsOn; // a service name, or empty
    // How long a stop takes and the wait hint it reports (emulated machine).
    std::uint64_t stopMs;
    unsigned stopWaitHint;
};

// In the order they start: the server before the services that depend on it.
inline const std::vector<Service> kServices = {
    {"QLNSyncServer50", "Quillane Synchronization Server 5.0", "", 1500, 500},
    {"QLNSyncIndex50", "Quillane QLNSyncIndex50", "QLNSyncServer50", 800, 300},
    {"QLNSyncWatch50", "Quillane QLNSyncWatch50", "QLNSyncServer50", 800, 300},
    {"QLNAlert50", "Quillane Alert Service 5.0", "", 0, 0},
};

} // namespace host::product
