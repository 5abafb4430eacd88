// A small program that loads RADOZAVU.DLL from its own folder and reports,
// in its exit code, what the library answers on the Windows version Wine
// gives this program: bit 0 HKIsWindows2000, bit 1 HKIsWindowsXP, and for
// the reader of a failure the version itself (platform in bits 4-7, major
// version in bits 8-15, minor version in bits 16-23). 0xFF000000 when the
// library or its exports are missing.
#include <windows.h>

#include <string>

#include "radozavu.h"

int main() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.resize(folder.find_last_of('\\') + 1);
    HMODULE library = LoadLibraryA((folder + "RADOZAVU.DLL").c_str());
    auto isWindows2000 = reinterpret_cast<decltype(&::HKIsWindows2000)>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "HKIsWindows2000")));
    auto isWindowsXP = reinterpret_cast<decltype(&::HKIsWindowsXP)>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "HKIsWindowsXP")));
    if (library == nullptr || isWindows2000 == nullptr || isWindowsXP == nullptr) {
        return static_cast<int>(0xFF000000u);
    }
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return (isWindows2000() ? 1 : 0) | (isWindowsXP() ? 2 : 0) |
           static_cast<int>((info.dwPlatformId & 0xF) << 4) |
           static_cast<int>((info.dwMajorVersion & 0xFF) << 8) |
           static_cast<int>((info.dwMinorVersion & 0xFF) << 16);
}
