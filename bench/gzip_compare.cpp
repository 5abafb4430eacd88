// The gzip copies of the library (QLNSetupCompressFile and
// QLNSetupUncompressFile, called in-process on the emulated machine) against
// the gzip program on the same files, at levels 1, 6 and 9:
//   radozavu_gzip_compare [--scale N] [--runs N] [--wine PROGRAM] DATA_FOLDER
// The sample files are written into DATA_FOLDER afresh. Each measurement is
// the median wall time of --runs runs, the copies taking turns; gzip's time
// is that of its whole process, as a user running it would see. With --wine,
// the real RADOZAVU.DLL makes the same copies under Wine as well, timed
// inside its process by PROGRAM (radozavu_wine_bench.exe, run with wine in
// the prefix that WINEPREFIX names). Throughput is counted in bytes of the
// plain file either way. Every copy is checked: each expansion must give
// back the plain file. Exits non-zero when a copy fails or is wrong.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/scratch_machine.h"
#include "emulator/machine.h"
#include "radozavu.h"
#include "sample_files.h"

extern char **environ;

namespace fs = std::filesystem;

namespace {

constexpr double kMinimumThroughputRatio = 0.95;
constexpr double kMaximumSizeExcess = 0.005;
constexpr int kLevels[] = {1, 6, 9};

struct Options {
    long scale = 1;
    long runs = 3;
    std::string wineProgram;
    std::string dataFolder;
};

bool parseOptions(int argc, char **argv, Options &options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--scale" || argument == "--runs") && i + 1 < argc) {
            long &value = argument == "--scale" ? options.scale : options.runs;
            value = std::strtol(argv[++i], nullptr, 10);
            if (value < 1) {
                return false;
            }
        } else if (argument == "--wine" && i + 1 < argc) {
            options.wineProgram = argv[++i];
        } else if (options.dataFolder.empty() && argument.rfind("--", 0) != 0) {
            options.dataFolder = argument;
        } else {
            return false;
        }
    }
    return !options.dataFolder.empty();
}

// One copy: makes it, and sets seconds to the time it took; false when it
// failed.
using Copy = std::function<bool(double &seconds)>;

// A copy timed from the outside, on the wall clock.
Copy timedFromOutside(std::function<bool()> copy) {
    return [copy = std::move(copy)](double &seconds) {
        const auto start = std::chrono::steady_clock::now();
        const bool copied = copy();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return copied;
    };
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs a program found on the PATH, its standard output going to
// outputPath; true when it ended with exit code 0.
bool runProgram(const std::vector<std::string> &arguments, const std::string &outputPath) {
    std::vector<std::string> copies = arguments;
    std::vector<char *> argv;
    for (std::string &argument : copies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

std::string contentOf(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The Windows path of a host path under Wine (drive Z: is the root).
std::string underWine(const std::string &hostPath) {
    std::string path = "Z:" + fs::absolute(hostPath).string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// A copy by the real DLL under Wine: the program times the export call in
// its own process and prints "seconds: S".
Copy wineCopy(const Options &options, std::vector<std::string> arguments) {
    return [&options, arguments = std::move(arguments)](double &seconds) {
        std::vector<std::string> command{"wine", options.wineProgram, "gzip-copy"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const std::string report = (fs::path(options.dataFolder) / "wine-report").string();
        if (!runProgram(command, report)) {
            return false;
        }
        const std::string text = contentOf(report);
        const std::size_t at = text.find("seconds: ");
        return at != std::string::npos &&
               (seconds = std::strtod(text.c_str() + at + 9, nullptr)) > 0;
    };
}

// Times the copies, taking turns (and each run starting with the next one),
// so that whatever else the machine does weighs on all of them alike. The
// median seconds of each.
std::vector<double> timeSideBySide(long runs, const std::vector<Copy> &copies, bool &succeeded) {
    std::vector<std::vector<double>> seconds(copies.size());
    for (long run = 0; run < runs; ++run) {
        for (std::size_t turn = 0; turn < copies.size(); ++turn) {
            const std::size_t which = (turn + static_cast<std::size_t>(run)) % copies.size();
            double taken = 0;
            succeeded = copies[which](taken) && succeeded;
            seconds[which].push_back(taken);
        }
    }
    std::vector<double> medians;
    for (const std::vector<double> &taken : seconds) {
        medians.push_back(median(taken));
    }
    return medians;
}

const char *verdict(double ratio) { return ratio >= kMinimumThroughputRatio ? "met" : "MISSED"; }

// One line of throughputs: the library's, gzip's, their ratio and, with a
// third time, the DLL's under Wine and its ratio.
void printThroughput(const std::string &file, int level, const char *operation,
                     std::size_t plainSize, const std::vector<double> &seconds) {
    const double mebibytes = static_cast<double>(plainSize) / (1024.0 * 1024.0);
    std::printf("%-24s %5d  %-8s %10.1f %10.1f %8.2fx %-6s", file.c_str(), level, operation,
                mebibytes / seconds[0], mebibytes / seconds[1], seconds[1] / seconds[0],
                verdict(seconds[1] / seconds[0]));
    if (seconds.size() == 3) {
        std::printf(" %10.1f %8.2fx %s", mebibytes / seconds[2], seconds[1] / seconds[2],
                    verdict(seconds[1] / seconds[2]));
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: radozavu_gzip_compare [--scale N] [--runs N] "
                             "[--wine PROGRAM] DATA_FOLDER\n");
        return 2;
    }
    const bool withWine = !options.wineProgram.empty();
    fs::create_directories(options.dataFolder);
    const ScratchMachine machine;
    // The data folder is drive D: of the machine.
    emu::machine().drives['D'] =
        emu::Drive{fs::absolute(options.dataFolder).string(), emu::DriveFixed};
    const auto onD = [](const std::string &name) { return "D:\\" + name; };
    const auto onHost = [&options](const std::string &name) {
        return (fs::path(options.dataFolder) / name).string();
    };

    bool succeeded = true;
    std::ofstream(onHost("empty"), std::ios::binary);
    const std::vector<double> start = timeSideBySide(
        2 * options.runs + 1, {timedFromOutside([&] {
            return runProgram({"gzip", "-c", "-n", "-6", onHost("empty")}, onHost("empty.gz"));
        })},
        succeeded);
    std::printf("The library's zlib %s; gzip's process start and end alone (an empty file): "
                "%.2f ms\n\n",
                zlibVersion(), start[0] * 1000);
    std::printf("%-24s %5s  %-8s %10s %10s %9s %-6s", "file", "level", "", "ours MiB/s",
                "gzip MiB/s", "ours/gzip", "");
    if (withWine) {
        std::printf(" %10s %9s", "DLL MiB/s", "DLL/gzip");
    }
    std::printf("  (target >= 0.95x)\n");

    struct SizeRow {
        std::string file;
        int level;
        std::uintmax_t plain, ours, gzip, dll;
    };
    std::vector<SizeRow> sizes;
    for (const bench::SampleFile &sample :
         bench::sampleFiles(static_cast<std::size_t>(options.scale))) {
        const std::string plain = sample.generate(sample.size);
        std::ofstream(onHost(sample.name), std::ios::binary) << plain;
        for (const int level : kLevels) {
            const std::string stem = sample.name + "." + std::to_string(level);
            const std::string levelText = std::to_string(level);
            std::vector<Copy> packing{
                timedFromOutside([&] {
                    return QLNSetupCompressFile(onD(sample.name).c_str(),
                                                onD(stem + ".ours.gz").c_str(), level) != nullptr;
                }),
                timedFromOutside([&] {
                    return runProgram({"gzip", "-c", "-n", "-" + levelText, onHost(sample.name)},
                                      onHost(stem + ".gzip.gz"));
                })};
            if (withWine) {
                packing.push_back(
                    wineCopy(options, {"compress", underWine(onHost(sample.name)),
                                       underWine(onHost(stem + ".dll.gz")), levelText}));
            }
            printThroughput(sample.name, level, "compress", sample.size,
                            timeSideBySide(options.runs, packing, succeeded));
            // The DLL's gzip file must expand to the plain file too.
            if (withWine && (QLNSetupUncompressFile(onD(stem + ".dll.gz").c_str(),
                                                    onD(stem + ".dll.check").c_str()) == nullptr ||
                             contentOf(onHost(stem + ".dll.check")) != plain)) {
                std::printf("%s.dll.gz does not expand to the file\n", stem.c_str());
                succeeded = false;
            }
            fs::remove(onHost(stem + ".dll.check"));
            sizes.push_back({sample.name, level, sample.size,
                             fs::file_size(onHost(stem + ".ours.gz")),
                             fs::file_size(onHost(stem + ".gzip.gz")),
                             withWine ? fs::file_size(onHost(stem + ".dll.gz")) : 0});

            // Each expands the library's gzip file.
            std::vector<std::string> expanded{stem + ".ours.out", stem + ".gzip.out"};
            std::vector<Copy> expanding{
                timedFromOutside([&] {
                    return QLNSetupUncompressFile(onD(stem + ".ours.gz").c_str(),
                                                  onD(expanded[0]).c_str()) != nullptr;
                }),
                timedFromOutside([&] {
                    return runProgram({"gzip", "-d", "-c", onHost(stem + ".ours.gz")},
                                      onHost(expanded[1]));
                })};
            if (withWine) {
                expanded.push_back(stem + ".dll.out");
                expanding.push_back(
                    wineCopy(options, {"expand", underWine(onHost(stem + ".ours.gz")),
                                       underWine(onHost(expanded[2]))}));
            }
            printThroughput(sample.name, level, "expand", sample.size,
                            timeSideBySide(options.runs, expanding, succeeded));
            for (const std::string &name : expanded) {
                if (contentOf(onHost(name)) != plain) {
                    std::printf("%s: the expansion did not give back the file\n", name.c_str());
                    succeeded = false;
                }
                fs::remove(onHost(name));
            }
        }
    }

    std::printf("\n%-24s %5s %12s %12s %12s %9s %-6s", "file", "level", "plain bytes", "ours bytes",
                "gzip bytes", "ours-gzip", "");
    if (withWine) {
        std::printf(" %12s", "DLL bytes");
    }
    std::printf("  (target within 0.5%%)\n");
    for (const SizeRow &row : sizes) {
        const double excess = (static_cast<double>(row.ours) - static_cast<double>(row.gzip)) /
                              static_cast<double>(row.gzip);
        std::printf("%-24s %5d %12ju %12ju %12ju %+8.3f%% %-6s", row.file.c_str(), row.level,
                    row.plain, row.ours, row.gzip, excess * 100,
                    excess <= kMaximumSizeExcess ? "met" : "MISSED");
        if (withWine) {
            std::printf(" %12ju", row.dll);
        }
        std::printf("\n");
    }
    if (!succeeded) {
        std::printf("\na copy failed or was wrong\n");
    }
    return succeeded ? 0 : 1;
}
