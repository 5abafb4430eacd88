// The gzip copies of the library (QLNSetupCompressFile and
// QLNSetupUncompressFile, called in-process on the emulated machine) against
// the gzip program on the same files, at levels 1, 6 and 9:
//   radozavu_gzip_compare [--scale N] [--runs N] [--wine PROGRAM] DATA_FOLDER
// The sample files are written into DATA_FOLDER afresh. Each measurement is
// the median of --runs runs, the copies taking turns, in wall-clock time and
// in processor time (user and system): the wall clock is what a user waits,
// the processor time what stays comparable on a machine busy with other
// work. gzip's time is that of its whole process, as a user running it would
// see. With --wine, the real RADOZAVU.DLL makes the same copies under Wine
// as well, timed inside its process by PROGRAM (radozavu_wine_bench.exe, run
// with wine in the prefix that WINEPREFIX names), and beside it a plain copy
// over the DLL's own zlib (what zlib built the same way does without the
// export). Throughput is counted in bytes of the plain file everywhere.
// Every copy is checked: each expansion must give back the plain file.
// Exits non-zero when a copy fails or is wrong.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <ctime>
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
#include "target_line.h"

extern char **environ;

namespace fs = std::filesystem;

namespace {

constexpr double kMinimumThroughputRatio = 0.95;
constexpr double kMaximumSizeExcess = 0.005;
constexpr int kLevels[] = {1, 6, 9};

// The copies made under Wine, by radozavu_wine_bench.exe: the DLL's export,
// then the plain zlib copy; each names its files with its own word.
struct WineCopier {
    const char *command;
    const char *word;
};
constexpr WineCopier kWineCopiers[] = {{"gzip-copy", "dll"}, {"zlib-copy", "zlib"}};

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

// The time a copy took: on the wall clock, and the processor time (user and
// system) of the process that made it.
struct Took {
    double seconds = 0;
    double processorSeconds = 0;
};

// One copy: makes it, and sets what it took; false when it failed.
using Copy = std::function<bool(Took &took)>;

double processorSecondsNow() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A copy made in this process, timed around it.
Copy timedFromOutside(std::function<bool()> copy) {
    return [copy = std::move(copy)](Took &took) {
        const auto start = std::chrono::steady_clock::now();
        const double processorStart = processorSecondsNow();
        const bool copied = copy();
        took.processorSeconds = processorSecondsNow() - processorStart;
        took.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return copied;
    };
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double secondsOf(const timeval &time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

// Runs a program found on the PATH, its standard output going to
// outputPath; true when it ended with exit code 0. Sets the processor time
// its process took.
bool runProgram(const std::vector<std::string> &arguments, const std::string &outputPath,
                double &processorSeconds) {
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
    rusage usage{};
    const bool ended = spawned == 0 && wait4(child, &status, 0, &usage) == child;
    processorSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A copy by a program, as a user would run it.
Copy programCopy(std::vector<std::string> arguments, std::string outputPath) {
    return [arguments = std::move(arguments), outputPath = std::move(outputPath)](Took &took) {
        const auto start = std::chrono::steady_clock::now();
        const bool copied = runProgram(arguments, outputPath, took.processorSeconds);
        took.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return copied;
    };
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

// A copy under Wine, by the DLL's export (gzip-copy) or by the plain zlib
// copy (zlib-copy): the program times it in its own process and prints
// "seconds: S cpu: C".
Copy wineCopy(const Options &options, const char *copier, std::vector<std::string> arguments) {
    return [&options, copier, arguments = std::move(arguments)](Took &took) {
        std::vector<std::string> command{"wine", options.wineProgram, copier};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const std::string report = (fs::path(options.dataFolder) / "wine-report").string();
        // The Wine process's own processor time counts its start too: the
        // program's report is taken instead.
        double wholeProcess = 0;
        if (!runProgram(command, report, wholeProcess)) {
            return false;
        }
        const std::string text = contentOf(report);
        const std::size_t seconds = text.find("seconds: ");
        const std::size_t cpu = text.find(" cpu: ");
        return seconds != std::string::npos && cpu != std::string::npos &&
               (took.seconds = std::strtod(text.c_str() + seconds + 9, nullptr)) > 0 &&
               (took.processorSeconds = std::strtod(text.c_str() + cpu + 6, nullptr)) >= 0;
    };
}

// Times the copies, taking turns (and each run starting with the next one),
// so that whatever else the machine does weighs on all of them alike. The
// median wall-clock and processor seconds of each.
std::vector<Took> timeSideBySide(long runs, const std::vector<Copy> &copies, bool &succeeded) {
    std::vector<std::vector<double>> seconds(copies.size());
    std::vector<std::vector<double>> processorSeconds(copies.size());
    for (long run = 0; run < runs; ++run) {
        for (std::size_t turn = 0; turn < copies.size(); ++turn) {
            const std::size_t which = (turn + static_cast<std::size_t>(run)) % copies.size();
            Took took;
            succeeded = copies[which](took) && succeeded;
            seconds[which].push_back(took.seconds);
            processorSeconds[which].push_back(took.processorSeconds);
        }
    }
    std::vector<Took> medians;
    for (std::size_t which = 0; which < copies.size(); ++which) {
        medians.push_back({median(seconds[which]), median(processorSeconds[which])});
    }
    return medians;
}

const char *verdict(double ratio) { return bench::verdict(ratio >= kMinimumThroughputRatio); }

// One measurement: the times of the library's copy, gzip's and, under Wine,
// the DLL's and the plain zlib copy's, in that order.
struct Measurement {
    std::string file;
    int level;
    const char *operation;
    std::size_t plainSize;
    std::vector<Took> took;
};

void printHeader(bool withWine) {
    std::printf("%-24s %5s  %-8s %10s %10s %9s %-6s", "file", "level", "", "ours MiB/s",
                "gzip MiB/s", "ours/gzip", "");
    if (withWine) {
        std::printf(" %10s %9s %-6s %10s %9s", "DLL MiB/s", "DLL/gzip", "", "zlib MiB/s",
                    "zlib/gzip");
    }
    std::printf("  (target >= 0.95x)\n");
}

// One line of throughputs, on the wall clock or in processor time: the
// library's, gzip's, their ratio and, under Wine, the DLL's and its ratio,
// then the plain zlib copy's and its ratio (a reference, no target).
void printThroughput(const Measurement &measurement, double Took::*time) {
    const double mebibytes = static_cast<double>(measurement.plainSize) / (1024.0 * 1024.0);
    const auto throughput = [&](std::size_t which) {
        return mebibytes / (measurement.took[which].*time);
    };
    const auto ratio = [&](std::size_t which) {
        return (measurement.took[1].*time) / (measurement.took[which].*time);
    };
    std::printf("%-24s %5d  %-8s %10.1f %10.1f %8.2fx %-6s", measurement.file.c_str(),
                measurement.level, measurement.operation, throughput(0), throughput(1), ratio(0),
                verdict(ratio(0)));
    if (measurement.took.size() == 4) {
        std::printf(" %10.1f %8.2fx %-6s %10.1f %8.2fx", throughput(2), ratio(2), verdict(ratio(2)),
                    throughput(3), ratio(3));
    }
    std::printf("\n");
}

} // namespace

// The output sizes of one file at one level: the plain file's, the
// library's, gzip's and, under Wine, the DLL's.
struct SizeRow {
    std::string file;
    int level;
    std::uintmax_t plain, ours, gzip, dll;
};

// The targets in the form bench/run.sh --check gathers: every copy's
// throughput against gzip's in processor time (the wall clock of a copy
// swings with the machine's load far more than its processor time), and
// every output's size.
void printTargets(const std::vector<Measurement> &measurements, const std::vector<SizeRow> &sizes,
                  bool withWine) {
    std::printf("\nTargets (throughput judged in processor time):\n");
    const std::string goal = "at least " + bench::multiple(kMinimumThroughputRatio) + " gzip's";
    for (const Measurement &measurement : measurements) {
        const std::string what = measurement.file + ", level " + std::to_string(measurement.level) +
                                 ", " + measurement.operation;
        const auto line = [&](const char *where, std::size_t which) {
            const double ratio =
                measurement.took[1].processorSeconds / measurement.took[which].processorSeconds;
            std::printf("%s",
                        bench::targetLine(where, "gzip " + what, bench::multiple(ratio) + " gzip's",
                                          goal, verdict(ratio))
                            .c_str());
        };
        line("emulated", 0);
        if (measurement.took.size() == 4) {
            line("Wine", 2);
        }
    }
    for (const SizeRow &row : sizes) {
        const auto line = [&row](const char *where, std::uintmax_t size) {
            const double excess = (static_cast<double>(size) - static_cast<double>(row.gzip)) /
                                  static_cast<double>(row.gzip);
            char figure[32];
            std::snprintf(figure, sizeof figure, "%+.3f%% against gzip's", excess * 100);
            std::printf("%s", bench::targetLine(where,
                                                "gzip size " + row.file + ", level " +
                                                    std::to_string(row.level),
                                                figure, "within 0.5% of gzip's",
                                                bench::verdict(excess <= kMaximumSizeExcess))
                                  .c_str());
        };
        line("emulated", row.ours);
        if (withWine) {
            line("Wine", row.dll);
        }
    }
}

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
    emu::machine().files.drives['D'] =
        emu::Drive{fs::absolute(options.dataFolder).string(), emu::DriveFixed};
    const auto onD = [](const std::string &name) { return "D:\\" + name; };
    const auto onHost = [&options](const std::string &name) {
        return (fs::path(options.dataFolder) / name).string();
    };

    bool succeeded = true;
    std::ofstream(onHost("empty"), std::ios::binary);
    const std::vector<Took> start = timeSideBySide(
        2 * options.runs + 1,
        {programCopy({"gzip", "-c", "-n", "-6", onHost("empty")}, onHost("empty.gz"))}, succeeded);
    std::printf("The library's zlib %s; gzip's process start and end alone (an empty file): "
                "%.2f ms, %.2f ms of processor time\n\nOn the wall clock:\n",
                zlibVersion(), start[0].seconds * 1000, start[0].processorSeconds * 1000);
    printHeader(withWine);
    std::vector<Measurement> measurements;

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
                programCopy({"gzip", "-c", "-n", "-" + levelText, onHost(sample.name)},
                            onHost(stem + ".gzip.gz"))};
            if (withWine) {
                for (const WineCopier &copier : kWineCopiers) {
                    packing.push_back(
                        wineCopy(options, copier.command,
                                 {"compress", underWine(onHost(sample.name)),
                                  underWine(onHost(stem + "." + copier.word + ".gz")), levelText}));
                }
            }
            measurements.push_back({sample.name, level, "compress", sample.size,
                                    timeSideBySide(options.runs, packing, succeeded)});
            printThroughput(measurements.back(), &Took::seconds);
            // The gzip files made under Wine must expand to the plain file too.
            if (withWine) {
                for (const WineCopier &copier : kWineCopiers) {
                    const std::string packed = stem + "." + copier.word + ".gz";
                    if (QLNSetupUncompressFile(onD(packed).c_str(), onD(stem + ".check").c_str()) ==
                            nullptr ||
                        contentOf(onHost(stem + ".check")) != plain) {
                        std::printf("%s does not expand to the file\n", packed.c_str());
                        succeeded = false;
                    }
                    fs::remove(onHost(stem + ".check"));
                }
            }
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
                programCopy({"gzip", "-d", "-c", onHost(stem + ".ours.gz")}, onHost(expanded[1]))};
            if (withWine) {
                for (const WineCopier &copier : kWineCopiers) {
                    expanded.push_back(stem + "." + copier.word + ".out");
                    expanding.push_back(wineCopy(options, copier.command,
                                                 {"expand", underWine(onHost(stem + ".ours.gz")),
                                                  underWine(onHost(expanded.back()))}));
                }
            }
            measurements.push_back({sample.name, level, "expand", sample.size,
                                    timeSideBySide(options.runs, expanding, succeeded)});
            printThroughput(measurements.back(), &Took::seconds);
            for (const std::string &name : expanded) {
                if (contentOf(onHost(name)) != plain) {
                    std::printf("%s: the expansion did not give back the file\n", name.c_str());
                    succeeded = false;
                }
                fs::remove(onHost(name));
            }
        }
    }

    std::printf("\nIn processor time (user and system; under Wine, of the copy alone):\n");
    printHeader(withWine);
    for (const Measurement &measurement : measurements) {
        printThroughput(measurement, &Took::processorSeconds);
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
    printTargets(measurements, sizes, withWine);
    if (!succeeded) {
        std::printf("\na copy failed or was wrong\n");
    }
    return succeeded ? 0 : 1;
}
