// Stand-in of the product's installer for the Wine tests: loads
// RADOZAVU.DLL from its own folder and calls the record-taking export named
// on its command line, with a window of its own as the record's owner
// window. Its exit code is the export's result (100 when it cannot call it).
#include <windows.h>

#include <string>

#include "radozavu.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        return 100;
    }
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.resize(folder.find_last_of('\\') + 1);
    HMODULE library = LoadLibraryA((folder + "RADOZAVU.DLL").c_str());
    if (library == nullptr) {
        return 100;
    }
    // Every record-taking export has the type of this one.
    const auto call = reinterpret_cast<decltype(&::HKSetupFindRunningApps)>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, argv[1])));
    if (call == nullptr) {
        return 100;
    }
    SetupCallRecord record{};
    record.OwnerWindow =
        CreateWindowExA(0, "STATIC", "RADOZAVU installer stand-in", WS_OVERLAPPED, 0, 0, 200, 100,
                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    const int result = call(&record);
    DestroyWindow(record.OwnerWindow);
    FreeLibrary(library);
    return result;
}
