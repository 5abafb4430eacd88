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

class FloorReporter : public benchmark::ConsoleReporter {
public:
    FloorReporter() : benchmark::ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run> &runs) override;

    // One line per case with a target: its multiple of the floor (the
    // median when repetitions were asked for) and whether the target is met.
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
    bool anyFailed_ = false;
};

} // namespace bench
