// Stand-in of the product's installer for the Wine tests: loads
// RADOZAVU.DLL from its own folder and calls the record-taking export named
// on its command line, with a window of its own as the record's owner
// window; or, given a text after the export's name, the export that takes
// one text (ExecInitialRegFileEX, HKAdd2DependentServicesEX) with it. Copied
// into a setup folder with the DLL, it is an installer whose folder a test
// may fill. Its exit code is the export's result (100 when it cannot call it).
#include <windows.h>

#include <string>

#include "radozavu.h"

int main(int argc, char **argv) {
    if (argc != 2 && argc != 3) {
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
    if (argc == 3) {
        const auto callWithText = reinterpret_cast<decltype(&::ExecInitialRegFileEX)>(
            reinterpret_cast<void (*)()>(GetProcAddress(library, argv[1])));
        return callWithText != nullptr ? callWithText(argv[2]) : 100;
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
