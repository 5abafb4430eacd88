// The gzip copies of the library (QLNSetupCompressFile and
// QLNSetupUncompressFile, called in-process on the emulated machine) against
// the gzip program on the same files, at levels 1, 6 and 9:
//   radozavu_gzip_compare [--scale N] [--runs N] DATA_FOLDER
// The sample files are written into DATA_FOLDER afresh. Each measurement is
// the median wall time of --runs runs, the library's and gzip's runs taking
// turns; gzip's time is that of its whole process, as a user running it
// would see. Throughput is counted in bytes of the plain file either way.
// Every copy is checked: both expansions must give back the plain file.
// Exits non-zero when a copy fails or is wrong.
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

#include "bench_machine.h"
#include "platform/emulated/machine.h"
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
        } else if (options.dataFolder.empty() && argument.rfind("--", 0) != 0) {
            options.dataFolder = argument;
        } else {
            return false;
        }
    }
    return !options.dataFolder.empty();
}

double secondsOf(const std::function<bool()> &run, bool &succeeded) {
    const auto start = std::chrono::steady_clock::now();
    succeeded = run() && succeeded;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs gzip with the arguments, its standard output going to outputPath.
bool runGzip(const std::vector<std::string> &arguments, const std::string &outputPath) {
    std::vector<char *> argv;
    std::string program = "gzip";
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string &argument : copies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "gzip", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

bool sameContent(const std::string &path, const std::string &expected) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return in.good() && content.str() == expected;
}

// Median wall times of one copy, in seconds.
struct Comparison {
    double ours = 0;
    double gzip = 0;
};

// Times the library's copy and gzip's, taking turns (and taking turns at
// going first).
Comparison compare(long runs, const std::function<bool()> &ours, const std::function<bool()> &gzip,
                   bool &succeeded) {
    std::vector<double> oursSeconds;
    std::vector<double> gzipSeconds;
    for (long run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            oursSeconds.push_back(secondsOf(ours, succeeded));
            gzipSeconds.push_back(secondsOf(gzip, succeeded));
        } else {
            gzipSeconds.push_back(secondsOf(gzip, succeeded));
            oursSeconds.push_back(secondsOf(ours, succeeded));
        }
    }
    return {median(oursSeconds), median(gzipSeconds)};
}

void printThroughput(const std::string &file, int level, const char *operation,
                     std::size_t plainSize, const Comparison &result) {
    const double mebibytes = static_cast<double>(plainSize) / (1024.0 * 1024.0);
    const double ratio = result.gzip / result.ours;
    std::printf("%-24s %5d  %-8s %12.1f %12.1f %10.2fx  %s\n", file.c_str(), level, operation,
                mebibytes / result.ours, mebibytes / result.gzip, ratio,
                ratio >= kMinimumThroughputRatio ? "met" : "MISSED");
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: radozavu_gzip_compare [--scale N] [--runs N] DATA_FOLDER\n");
        return 2;
    }
    fs::create_directories(options.dataFolder);
    const bench::BenchMachine machine;
    // The data folder is drive D: of the machine.
    emu::machine().drives['D'] =
        emu::Drive{fs::absolute(options.dataFolder).string(), emu::DriveFixed};
    const auto onD = [](const std::string &name) { return "D:\\" + name; };
    const auto onHost = [&options](const std::string &name) {
        return (fs::path(options.dataFolder) / name).string();
    };

    bool succeeded = true;
    std::vector<double> startSeconds;
    std::ofstream(onHost("empty"), std::ios::binary);
    for (long run = 0; run < 2 * options.runs + 1; ++run) {
        startSeconds.push_back(secondsOf(
            [&] { return runGzip({"-c", "-n", "-6", onHost("empty")}, onHost("empty.gz")); },
            succeeded));
    }
    std::printf("The library's zlib %s; gzip's process start and end alone (an empty file): "
                "%.2f ms\n\n",
                zlibVersion(), median(startSeconds) * 1000);
    std::printf("%-24s %5s  %-8s %12s %12s %11s  %s\n", "file", "level", "", "ours MiB/s",
                "gzip MiB/s", "ours/gzip", "(target >= 0.95x)");

    struct SizeRow {
        std::string file;
        int level;
        std::uintmax_t plain, ours, gzip;
    };
    std::vector<SizeRow> sizes;
    for (const bench::SampleFile &sample :
         bench::sampleFiles(static_cast<std::size_t>(options.scale))) {
        const std::string plain = sample.generate(sample.size);
        std::ofstream(onHost(sample.name), std::ios::binary) << plain;
        for (const int level : kLevels) {
            const std::string stem = sample.name + "." + std::to_string(level);
            const std::string oursPacked = stem + ".ours.gz";
            const std::string gzipPacked = stem + ".gzip.gz";
            const Comparison packing = compare(
                options.runs,
                [&] {
                    return QLNSetupCompressFile(onD(sample.name).c_str(), onD(oursPacked).c_str(),
                                                level) != nullptr;
                },
                [&] {
                    return runGzip({"-c", "-n", "-" + std::to_string(level), onHost(sample.name)},
                                   onHost(gzipPacked));
                },
                succeeded);
            printThroughput(sample.name, level, "compress", sample.size, packing);
            sizes.push_back({sample.name, level, sample.size, fs::file_size(onHost(oursPacked)),
                             fs::file_size(onHost(gzipPacked))});

            // Both expand the library's gzip file.
            const std::string oursExpanded = stem + ".ours.out";
            const std::string gzipExpanded = stem + ".gzip.out";
            const Comparison expanding = compare(
                options.runs,
                [&] {
                    return QLNSetupUncompressFile(onD(oursPacked).c_str(),
                                                  onD(oursExpanded).c_str()) != nullptr;
                },
                [&] { return runGzip({"-d", "-c", onHost(oursPacked)}, onHost(gzipExpanded)); },
                succeeded);
            printThroughput(sample.name, level, "expand", sample.size, expanding);
            if (!sameContent(onHost(oursExpanded), plain) ||
                !sameContent(onHost(gzipExpanded), plain)) {
                std::printf("%s at level %d: an expansion did not give back the file\n",
                            sample.name.c_str(), level);
                succeeded = false;
            }
            for (const std::string &name : {oursExpanded, gzipExpanded}) {
                fs::remove(onHost(name));
            }
        }
    }

    std::printf("\n%-24s %5s %14s %14s %14s %9s  %s\n", "file", "level", "plain bytes",
                "ours bytes", "gzip bytes", "ours-gzip", "(target within 0.5%)");
    for (const SizeRow &row : sizes) {
        const double excess = (static_cast<double>(row.ours) - static_cast<double>(row.gzip)) /
                              static_cast<double>(row.gzip);
        std::printf("%-24s %5d %14ju %14ju %14ju %+8.3f%%  %s\n", row.file.c_str(), row.level,
                    row.plain, row.ours, row.gzip, excess * 100,
                    excess <= kMaximumSizeExcess ? "met" : "MISSED");
    }
    if (!succeeded) {
        std::printf("\na copy failed or was wrong\n");
    }
    return succeeded ? 0 : 1;
}
