#include "floor_reporter.h"

#include <cstdio>

namespace bench {
namespace {

const std::string kFloorSuffix = "/floor";
const std::string kLibrarySuffix = "/library";

// The target multiple of each case that has one.
std::map<std::string, double> &targets() {
    static std::map<std::string, double> byCase;
    return byCase;
}

bool endsWith(const std::string &text, const std::string &suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Only a single run, a mean or a median makes sense as a multiple.
bool comparable(const std::string &statistic) {
    return statistic.empty() || statistic == "mean" || statistic == "median";
}

} // namespace

void registerCase(const std::string &name, BenchmarkBody floor, BenchmarkBody library,
                  double target) {
    benchmark::RegisterBenchmark((name + kFloorSuffix).c_str(), std::move(floor))->UseRealTime();
    benchmark::RegisterBenchmark((name + kLibrarySuffix).c_str(), std::move(library))
        ->UseRealTime();
    if (target > 0) {
        targets()[name] = target;
    }
}

void FloorReporter::ReportRuns(const std::vector<Run> &runs) {
    std::vector<Run> shown = runs;
    for (Run &run : shown) {
        const std::string &name = run.run_name.function_name;
        anyFailed_ = anyFailed_ || run.error_occurred;
        if (run.error_occurred || !comparable(run.aggregate_name)) {
            continue;
        }
        if (endsWith(name, kFloorSuffix)) {
            const std::string caseName = name.substr(0, name.size() - kFloorSuffix.size());
            Result &result = results_[caseName][run.aggregate_name];
            result.floor = run.GetAdjustedRealTime();
            result.floorCpu = run.GetAdjustedCPUTime();
        } else if (endsWith(name, kLibrarySuffix)) {
            const std::string caseName = name.substr(0, name.size() - kLibrarySuffix.size());
            Result &result = results_[caseName][run.aggregate_name];
            result.library = run.GetAdjustedRealTime();
            result.libraryCpu = run.GetAdjustedCPUTime();
            if (result.floor > 0 && result.floorCpu > 0) {
                run.counters["x_floor"] = result.library / result.floor;
                run.counters["x_floor_cpu"] = result.libraryCpu / result.floorCpu;
            }
        }
    }
    ConsoleReporter::ReportRuns(shown);
}

void FloorReporter::printSummary(std::ostream &out) const {
    out << "\nTargets (library time as a multiple of its floor, judged on the wall clock):\n";
    for (const auto &[caseName, target] : targets()) {
        const auto found = results_.find(caseName);
        const Result *result = nullptr;
        if (found != results_.end()) {
            for (const char *statistic : {"median", ""}) {
                const auto at = found->second.find(statistic);
                if (at != found->second.end() && at->second.floor > 0 && at->second.library > 0) {
                    result = &at->second;
                    break;
                }
            }
        }
        char line[256];
        if (result == nullptr) {
            std::snprintf(line, sizeof line, "  %-40s not run\n", caseName.c_str());
        } else {
            const double multiple = result->library / result->floor;
            const bool met = multiple <= target;
            std::snprintf(line, sizeof line,
                          "  %-38s %5.2fx floor, %5.2fx in CPU time (target at most %.1fx): %s\n",
                          caseName.c_str(), multiple, result->libraryCpu / result->floorCpu, target,
                          met ? "met" : "MISSED");
        }
        out << line;
    }
}

} // namespace bench
