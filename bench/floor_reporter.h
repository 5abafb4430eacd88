// Benchmarks of the library's work side by side with their floors: for each
// case, "<case>/floor" times the least work that any implementation has to
// do (a bare read of the same file, a bare registry query), and
// "<case>/library" times the library doing the job. The reporter prints the
// library's cost as a multiple of its floor beside it, on the wall clock
// (x_floor, what the caller waits) and in processor time (x_floor_cpu, which
// leaves out waits for the disk), and a summary of the cases that have a
// target multiple, judged on the wall clock.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace bench {

using BenchmarkBody = std::function<void(benchmark::State &)>;

// Registers the floor and the library benchmark of a case, in that order,
// both timed on the wall clock (several cases wait for the disk). target is
// the most the library may cost as a multiple of its floor; 0 for none.
void registerCase(const std::string &name, BenchmarkBody floor, BenchmarkBody library,
                  double target = 0);

// A family of cases (registered with registerCase) doing the same job on
// ever more work, each case workRatio times the work of the one before: the
// summary shows how the library's cost grows from each to the next, beside
// its floor's growth, judged by growthMet (target_line.h).
void registerGrowth(const std::string &family, std::vector<std::string> cases, double workRatio);

class FloorReporter : public benchmark::ConsoleReporter {
public:
    FloorReporter() : benchmark::ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run> &runs) override;

    // One line per target: each case's multiple of its floor and each
    // family's growth (medians when repetitions were asked for), in the
    // form that bench/run.sh --check gathers (target_line.h).
    void printSummary(std::ostream &out) const;
    // Whether a benchmark stopped with an error (its check failed).
    [[nodiscard]] bool anyFailed() const { return anyFailed_; }

private:
    struct Result {
        double floor = 0;
        double library = 0;
        double floorCpu = 0;
        double libraryCpu = 0;
    };
    // By case name, then by statistic ("" for a single run, "mean", "median").
    std::map<std::string, std::map<std::string, Result>> results_;
    // The result a summary judges: the median, else the single run.
    [[nodiscard]] const Result *judged(const std::string &caseName) const;
    bool anyFailed_ = false;
};

} // namespace bench
