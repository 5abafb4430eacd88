#include "floor_reporter.h"

#include <cstdio>
#include <utility>

#include "target_line.h"

namespace bench {
namespace {

const std::string kFloorSuffix = "/floor";
const std::string kLibrarySuffix = "/library";

// The target multiple of each case that has one.
std::map<std::string, double> &targets() {
    static std::map<std::string, double> byCase;
    return byCase;
}

struct Growth {
    std::vector<std::string> cases; // in order of the work
    double workRatio = 10;
};

std::map<std::string, Growth> &growths() {
    static std::map<std::string, Growth> byFamily;
    return byFamily;
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

void registerGrowth(const std::string &family, std::vector<std::string> cases, double workRatio) {
    growths()[family] = Growth{std::move(cases), workRatio};
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

const FloorReporter::Result *FloorReporter::judged(const std::string &caseName) const {
    const auto found = results_.find(caseName);
    if (found == results_.end()) {
        return nullptr;
    }
    for (const char *statistic : {"median", ""}) {
        const auto at = found->second.find(statistic);
        if (at != found->second.end() && at->second.floor > 0 && at->second.library > 0) {
            return &at->second;
        }
    }
    return nullptr;
}

void FloorReporter::printSummary(std::ostream &out) const {
    out << "\nTargets (judged on the wall clock):\n";
    for (const auto &[caseName, target] : targets()) {
        const std::string goal = "at most " + multiple(target) + " floor";
        const Result *result = judged(caseName);
        if (result == nullptr) {
            out << targetLine("emulated", caseName, "-", goal, "not run");
            continue;
        }
        const double times = result->library / result->floor;
        out << targetLine("emulated", caseName,
                          multiple(times) + " floor (" +
                              multiple(result->libraryCpu / result->floorCpu) + " in CPU time)",
                          goal, verdict(times <= target));
    }
    for (const auto &[family, growth] : growths()) {
        const std::string goal = growthGoal(growth.workRatio);
        for (std::size_t i = 1; i < growth.cases.size(); ++i) {
            const Result *from = judged(growth.cases[i - 1]);
            const Result *to = judged(growth.cases[i]);
            const std::string what =
                "growth " + family + ": " + growth.cases[i - 1] + " to " + growth.cases[i];
            if (from == nullptr || to == nullptr) {
                out << targetLine("emulated", what, "-", goal, "not run");
                continue;
            }
            const double library = to->library / from->library;
            const double floor = to->floor / from->floor;
            out << targetLine("emulated", what, growthFigure(library, floor), goal,
                              verdict(growthMet(library, growth.workRatio, floor)));
        }
    }
}

} // namespace bench
