// RADOZAVU.DLL under Wine:
//   radozavu_wine_bench first-load DLL [--system-loaded]
//       one LoadLibraryA of DLL in a fresh process: one that has loaded
//       nothing yet, or (--system-loaded) one that has loaded the system
//       DLLs an installer's process has loaded already
//   radozavu_wine_bench [--quick]
//       repeated loads with those system DLLs loaded, beside a trivial mingw
//       DLL loaded the same way; one getter call, and one debug log line
//       into rings of 100, 1,000 and 10,000 lines, beside their floors
//   radozavu_wine_bench gzip-copy|zlib-copy compress SOURCE DESTINATION LEVEL
//   radozavu_wine_bench gzip-copy|zlib-copy expand SOURCE DESTINATION
//       gzip copies timed in this process, for the comparison with the gzip
//       program (bench/compare.sh --wine): gzip-copy by the DLL's export,
//       zlib-copy by a plain copy of this program's own over the DLL's zlib
//       (the same static library), written as zlib's minigzip example
//       copies. The copy is repeated until it has taken 0.5 s of processor
//       time (once at least); "seconds: S cpu: C" gives the wall-clock and
//       processor time of one copy, averaged.
// Times are medians over batches, on QueryPerformanceCounter.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "debug_log_ring.h"
#include "setup_ini.h"
#include "target_line.h"

namespace {

using Getter = const char *(WINAPI *)(const char *);
using CompressFile = const char *(WINAPI *)(const char *, const char *, int);
using UncompressFile = const char *(WINAPI *)(const char *, const char *);
using Remove = int(WINAPI *)();

template <class F> F exported(HMODULE module, const char *name) {
    // Through void (*)(), the type that converts to any function type.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

double secondsNow() {
    static const double ticksPerSecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerSecond;
}

struct Timing {
    int batches = 21;
    double batchSeconds = 0.05;
};

// The median time of each operation, in microseconds. The operations are
// timed side by side: each round runs one batch of every operation in turn,
// so that whatever else the machine does weighs on all of them alike. The
// number of operations per batch is grown until a batch lasts batchSeconds.
std::vector<double> medianMicroseconds(const Timing &timing,
                                       const std::vector<std::function<void()>> &operations) {
    std::vector<long> perBatch(operations.size(), 1);
    for (std::size_t op = 0; op < operations.size(); ++op) {
        for (;;) {
            const double start = secondsNow();
            for (long i = 0; i < perBatch[op]; ++i) {
                operations[op]();
            }
            if (secondsNow() - start >= timing.batchSeconds || perBatch[op] >= (1L << 24)) {
                break;
            }
            perBatch[op] *= 2;
        }
    }
    std::vector<std::vector<double>> perOperation(operations.size());
    for (int round = 0; round < timing.batches; ++round) {
        for (std::size_t op = 0; op < operations.size(); ++op) {
            const double start = secondsNow();
            for (long i = 0; i < perBatch[op]; ++i) {
                operations[op]();
            }
            perOperation[op].push_back((secondsNow() - start) * 1e6 /
                                       static_cast<double>(perBatch[op]));
        }
    }
    std::vector<double> medians;
    for (std::vector<double> &times : perOperation) {
        std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
        medians.push_back(times[times.size() / 2]);
    }
    return medians;
}

std::string programFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

bool writeFile(const std::string &path, const char *content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(std::strlen(content));
    const bool whole = WriteFile(file, content, size, &written, nullptr) && written == size;
    return CloseHandle(file) && whole;
}

// A bare open, read and close of a file.
bool readWhole(const std::string &path, std::string &content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    content.clear();
    char buffer[65536];
    DWORD read = 0;
    bool readToEnd = false;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr)) {
        if (read == 0) {
            readToEnd = true;
            break;
        }
        content.append(buffer, read);
    }
    CloseHandle(file);
    return readToEnd;
}

// Replaces a file whole: written beside it, flushed to the disk, moved over
// it.
bool replaceAtomically(const std::string &path, const std::string &content) {
    const std::string temporary = path + ".~new";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool whole =
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size() && FlushFileBuffers(file);
    return CloseHandle(file) && whole &&
           MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void print(const char *name, double microseconds, const char *besideName = nullptr,
           double beside = 0) {
    if (besideName == nullptr) {
        std::printf("  %-44s %12.3f us\n", name, microseconds);
    } else {
        std::printf("  %-44s %12.3f us   %.2fx %s\n", name, microseconds, microseconds / beside,
                    besideName);
    }
}

// The system DLLs that RADOZAVU.DLL imports, which an installer's process
// has loaded before it loads the library.
bool loadSystemDlls() {
    for (const char *system :
         {"user32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll", "ole32.dll"}) {
        if (LoadLibraryA(system) == nullptr) {
            std::printf("%s cannot be loaded\n", system);
            return false;
        }
    }
    return true;
}

int firstLoad(const char *dll, bool systemLoaded) {
    if (systemLoaded && !loadSystemDlls()) {
        return 1;
    }
    const double start = secondsNow();
    HMODULE module = LoadLibraryA(dll);
    const double elapsed = secondsNow() - start;
    if (module == nullptr) {
        std::printf("%s cannot be loaded (error %lu)\n", dll, GetLastError());
        return 1;
    }
    std::printf("first load of %s: %.1f us\n", dll, elapsed * 1e6);
    FreeLibrary(module);
    return 0;
}

bool timeLoads(const Timing &timing) {
    bool loadsWorked = true;
    const auto loadAndFree = [&loadsWorked](const char *dll) {
        HMODULE module = LoadLibraryA(dll);
        loadsWorked = loadsWorked && module != nullptr && FreeLibrary(module);
    };
    std::printf("Load and unload, the installer's system DLLs loaded already:\n");
    const std::vector<double> loads = medianMicroseconds(
        timing, {[&] { loadAndFree("TRIVIAL.DLL"); }, [&] { loadAndFree("RADOZAVU.DLL"); }});
    print("TRIVIAL.DLL", loads[0]);
    print("RADOZAVU.DLL", loads[1], "TRIVIAL.DLL", loads[0]);
    if (!loadsWorked) {
        std::printf("a load failed\n");
    }
    return loadsWorked;
}

// The getter's cost as a multiple of its floor, for the summary.
bool timeGetter(const Timing &timing, HMODULE library, HMODULE trivial, double &multipleOfFloor) {
    const std::string setupFolder = programFolder() + "bench-setup\\";
    const std::string setupIni = setupFolder + "QLNSETUP.INI";
    CreateDirectoryA(setupFolder.c_str(), nullptr);
    if (!writeFile(setupIni, bench::kSetupIniContent)) {
        std::printf("%s cannot be written\n", setupIni.c_str());
        return false;
    }
    const auto getter = exported<Getter>(library, "GetValidateSettings");
    const auto echo = exported<Getter>(trivial, "EchoFolder");
    if (getter == nullptr || echo == nullptr ||
        std::strcmp(getter(setupFolder.c_str()), "NO") != 0) {
        std::printf("GetValidateSettings did not give the file's value\n");
        return false;
    }
    bool readsWorked = true;
    std::string content;
    char value[1024];
    std::printf("One getter call on a thirty-key QLNSETUP.INI:\n");
    const std::vector<double> calls = medianMicroseconds(
        timing, {[&] { readsWorked = readWhole(setupIni, content) && readsWorked; },
                 [&] {
                     GetPrivateProfileStringA("Configuration", "ValidateSettings", "YES", value,
                                              sizeof value, setupIni.c_str());
                 },
                 [&] { echo(setupFolder.c_str()); }, [&] { getter(setupFolder.c_str()); }});
    print("floor: CreateFileA, ReadFile, CloseHandle", calls[0]);
    print("GetPrivateProfileStringA alone", calls[1], "floor", calls[0]);
    print("TRIVIAL.DLL EchoFolder call", calls[2]);
    print("RADOZAVU.DLL GetValidateSettings call", calls[3], "floor", calls[0]);
    multipleOfFloor = calls[3] / calls[0];
    if (!readsWorked) {
        std::printf("a read failed\n");
    }
    return readsWorked;
}

// One debug log line's cost beside its floor, in microseconds.
struct LineCost {
    double floor = 0;
    double library = 0;
    double profileCalls = 0; // the line's three profile calls made directly
};

// The debug log is not exported; the provider order's removal logs through
// it. With no provider order key it logs exactly two lines ("Entered" and
// "Exiting") and touches nothing else. The log's switch and ring size are
// read at the library's first log line of a load, so each ring size has a
// load of its own, made after its file is in place.
bool timeDebugLogLine(const Timing &timing, const std::string &windowsIni, int ringLines,
                      LineCost &cost) {
    constexpr const char *kOrderKey = "System\\CurrentControlSet\\Control\\NetworkProvider\\Order";
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOrderKey);
    HKEY order = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrderKey, 0, KEY_READ, &order) == ERROR_SUCCESS) {
        RegCloseKey(order);
        std::printf("the provider order key cannot be removed from the prefix\n");
        return false;
    }
    if (!writeFile(windowsIni, bench::fullDebugLogRing(ringLines).c_str())) {
        std::printf("%s cannot be written\n", windowsIni.c_str());
        return false;
    }
    HMODULE library = LoadLibraryA("RADOZAVU.DLL");
    const auto removeProvider =
        library != nullptr ? exported<Remove>(library, "HKRemoveNetworkProviderEX") : nullptr;
    const auto lastLine = [&windowsIni] {
        return GetPrivateProfileIntA("DebugIniMsgs", "LastLine", -1, windowsIni.c_str());
    };
    const UINT before = lastLine();
    if (removeProvider != nullptr) {
        removeProvider();
    }
    if (removeProvider == nullptr || lastLine() != (before % static_cast<UINT>(ringLines)) + 2) {
        std::printf("HKRemoveNetworkProviderEX did not log its two lines\n");
        if (library != nullptr) {
            FreeLibrary(library);
        }
        return false;
    }
    bool rewritesWorked = true;
    std::string content;
    // What a logged line asks of the system's profile functions, made
    // directly: LastLine read and written, then the line itself.
    const auto profileCalls = [&windowsIni, &lastLine, ringLines] {
        const UINT line = lastLine() % static_cast<UINT>(ringLines) + 1;
        char number[16];
        std::snprintf(number, sizeof number, "%u", line);
        WritePrivateProfileStringA("DebugIniMsgs", "LastLine", number, windowsIni.c_str());
        char key[16];
        std::snprintf(key, sizeof key, "%03u", line);
        WritePrivateProfileStringA("DebugIniMsgs", key,
                                   "[Tue Mar 07 02:05 PM 2006] HKRemoveNetworkProviderEX: Entered",
                                   windowsIni.c_str());
    };
    std::printf("One debug log line into a full ring of %d lines:\n", ringLines);
    const std::vector<double> lines =
        medianMicroseconds(timing, {[&] {
                                        rewritesWorked = readWhole(windowsIni, content) &&
                                                         replaceAtomically(windowsIni, content) &&
                                                         replaceAtomically(windowsIni, content) &&
                                                         rewritesWorked;
                                    },
                                    profileCalls, [&] { removeProvider(); }});
    FreeLibrary(library);
    cost = LineCost{lines[0], lines[2] / 2, lines[1]};
    print("floor: a read and two atomic rewrites", cost.floor);
    print("its three profile calls made directly", cost.profileCalls, "floor", cost.floor);
    print("RADOZAVU.DLL, per line logged", cost.library, "floor", cost.floor);
    if (!rewritesWorked) {
        std::printf("a rewrite failed\n");
    }
    return rewritesWorked;
}

// The targets, in the form bench/run.sh --check gathers.
void printTargets(double getter, const std::vector<LineCost> &lines) {
    std::printf("\nTargets (judged on QueryPerformanceCounter):\n");
    const std::string floorGoal = "at most " + bench::multiple(bench::kGetterTarget) + " floor";
    std::printf("%s", bench::targetLine("Wine", "Getter.FirstKey.GetValidateSettings",
                                        bench::multiple(getter) + " floor", floorGoal,
                                        bench::verdict(getter <= bench::kGetterTarget))
                          .c_str());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double times = lines[i].library / lines[i].floor;
        std::printf("%s", bench::targetLine(
                              "Wine", "DebugLogLine.Ring" + std::to_string(bench::kRingSizes[i]),
                              bench::multiple(times) + " floor (its profile calls alone " +
                                  bench::multiple(lines[i].profileCalls / lines[i].floor) + ")",
                              "at most " + bench::multiple(bench::kLogLineTarget) + " floor",
                              bench::verdict(times <= bench::kLogLineTarget))
                              .c_str());
        if (i == 0) {
            continue;
        }
        const double growth = lines[i].library / lines[i - 1].library;
        const double floorGrowth = lines[i].floor / lines[i - 1].floor;
        const double work = static_cast<double>(bench::kRingSizes[i]) / bench::kRingSizes[i - 1];
        std::printf("%s",
                    bench::targetLine(
                        "Wine",
                        "growth DebugLogLine: Ring" + std::to_string(bench::kRingSizes[i - 1]) +
                            " to Ring" + std::to_string(bench::kRingSizes[i]),
                        bench::growthFigure(growth, floorGrowth), bench::growthGoal(work),
                        bench::verdict(bench::growthMet(growth, work, floorGrowth)))
                        .c_str());
    }
}

int repeatedWork(const Timing &timing) {
    if (!loadSystemDlls() || !timeLoads(timing)) {
        return 1;
    }
    HMODULE library = LoadLibraryA("RADOZAVU.DLL");
    HMODULE trivial = LoadLibraryA("TRIVIAL.DLL");
    if (library == nullptr || trivial == nullptr) {
        std::printf("the DLLs cannot be loaded\n");
        return 1;
    }
    double getter = 0;
    bool timed = timeGetter(timing, library, trivial, getter);
    FreeLibrary(trivial);
    FreeLibrary(library);
    char windowsFolder[MAX_PATH];
    GetWindowsDirectoryA(windowsFolder, sizeof windowsFolder);
    const std::string windowsIni = std::string(windowsFolder) + "\\QLNQUILL.INI";
    std::vector<LineCost> lines;
    for (const int ringLines : bench::kRingSizes) {
        LineCost cost;
        timed = timed && timeDebugLogLine(timing, windowsIni, ringLines, cost);
        lines.push_back(cost);
    }
    DeleteFileA(windowsIni.c_str());
    if (timed) {
        printTargets(getter, lines);
    }
    return timed ? 0 : 1;
}

// The processor time this thread has taken, user and kernel, in seconds.
// Wine counts it in clock ticks (10 ms), so short copies are repeated.
double processorSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME &time) {
        return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime) *
               1e-7;
    };
    return seconds(kernel) + seconds(user);
}

// The plain copy a zlib program makes, as zlib's minigzip example does it:
// the C runtime's files and zlib's gzip files, 16 KiB at a time.
constexpr unsigned kMinigzipPiece = 16384;

bool zlibCompress(const char *source, const char *destination, const char *level) {
    FILE *plain = std::fopen(source, "rb");
    gzFile packed = gzopen(destination, (std::string("wb") + level).c_str());
    bool copied = plain != nullptr && packed != nullptr;
    std::vector<char> piece(kMinigzipPiece);
    std::size_t count = 0;
    while (copied && (count = std::fread(piece.data(), 1, piece.size(), plain)) > 0) {
        copied =
            gzwrite(packed, piece.data(), static_cast<unsigned>(count)) == static_cast<int>(count);
    }
    copied = plain != nullptr && std::ferror(plain) == 0 && copied;
    if (plain != nullptr) {
        std::fclose(plain);
    }
    return packed != nullptr && gzclose(packed) == Z_OK && copied;
}

bool zlibExpand(const char *source, const char *destination) {
    gzFile packed = gzopen(source, "rb");
    FILE *plain = std::fopen(destination, "wb");
    bool copied = plain != nullptr && packed != nullptr;
    std::vector<char> piece(kMinigzipPiece);
    int count = 0;
    while (copied && (count = gzread(packed, piece.data(), kMinigzipPiece)) > 0) {
        copied = std::fwrite(piece.data(), static_cast<std::size_t>(count), 1, plain) == 1;
    }
    copied = copied && count == 0;
    if (packed != nullptr) {
        gzclose(packed);
    }
    return plain != nullptr && std::fclose(plain) == 0 && copied;
}

int gzipCopy(int argc, char **argv) {
    const bool byExport = std::strcmp(argv[1], "gzip-copy") == 0;
    const bool compress = argc == 6 && std::strcmp(argv[2], "compress") == 0;
    if (!compress && !(argc == 5 && std::strcmp(argv[2], "expand") == 0)) {
        return 2;
    }
    HMODULE library = LoadLibraryA("RADOZAVU.DLL");
    if (library == nullptr) {
        std::printf("RADOZAVU.DLL cannot be loaded\n");
        return 1;
    }
    const auto compressFile = exported<CompressFile>(library, "QLNSetupCompressFile");
    const auto uncompressFile = exported<UncompressFile>(library, "QLNSetupUncompressFile");
    const std::function<bool()> copy = [&] {
        if (byExport) {
            return (compress ? compressFile(argv[3], argv[4], std::atoi(argv[5]))
                             : uncompressFile(argv[3], argv[4])) != nullptr;
        }
        return compress ? zlibCompress(argv[3], argv[4], argv[5]) : zlibExpand(argv[3], argv[4]);
    };
    const double start = secondsNow();
    const double processorStart = processorSeconds();
    int copies = 0;
    bool copied = true;
    do {
        copied = copy();
        ++copies;
    } while (copied && processorSeconds() - processorStart < 0.5);
    const double elapsed = (secondsNow() - start) / copies;
    const double processor = (processorSeconds() - processorStart) / copies;
    FreeLibrary(library);
    if (!copied) {
        std::printf("the copy failed\n");
        return 1;
    }
    std::printf("seconds: %.6f cpu: %.6f\n", elapsed, processor);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc >= 2 &&
        (std::strcmp(argv[1], "gzip-copy") == 0 || std::strcmp(argv[1], "zlib-copy") == 0)) {
        return gzipCopy(argc, argv);
    }
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "first-load") == 0) {
        const bool systemLoaded = argc == 4 && std::strcmp(argv[3], "--system-loaded") == 0;
        if (argc == 4 && !systemLoaded) {
            return 2;
        }
        return firstLoad(argv[2], systemLoaded);
    }
    Timing timing;
    if (argc == 2 && std::strcmp(argv[1], "--quick") == 0) {
        timing = Timing{3, 0.002};
    } else if (argc != 1) {
        std::printf("usage: radozavu_wine_bench [--quick | first-load DLL [--system-loaded] |\n"
                    "                            gzip-copy|zlib-copy compress|expand SOURCE "
                    "DESTINATION [LEVEL]]\n");
        return 2;
    }
    return repeatedWork(timing);
}
