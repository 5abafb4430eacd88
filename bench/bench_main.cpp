// The in-process benchmarks on the emulated Windows machine. Takes Google
// Benchmark's options (--benchmark_filter, --benchmark_repetitions, ...).
// Prints whether each target is met; exits non-zero when a case failed its
// check or a handle, key or buffer was left open.
#include <iostream>

#include "support/scratch_machine.h"
#include "cases.h"
#include "floor_reporter.h"
#include "emulator/machine.h"

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    const ScratchMachine machine;
    bench::registerConfigCases();
    bench::registerRegistryCases();
    bench::registerDebugLogCases();
    bench::registerProviderOrderCases();
    bench::registerNumberEncodingCases();

    bench::FloorReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.printSummary(std::cout);
    const std::size_t leftOpen = emu::openHandleCount();
    if (leftOpen != 0) {
        std::cout << leftOpen << " handles, keys or buffers were left open\n";
    }
    return !reporter.anyFailed() && leftOpen == 0 ? 0 : 1;
}
