// The conformance suite's entry: runs the cases on this platform, then prints
// the seam's coverage and the known differences of Wine met in the run.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "platform.h"

namespace conformance {

std::set<std::string> &differencesMet();

namespace {

struct SeamFunction {
    const char *name;
    int calls;
};
#include "seam_coverage.inc"

void printCoverage(const ::testing::UnitTest &run) {
    int covered = 0;
    int calls = 0;
    for (const SeamFunction &function : kSeamFunctions) {
        covered += function.calls > 0 ? 1 : 0;
        calls += function.calls;
    }
    const int functions = sizeof kSeamFunctions / sizeof kSeamFunctions[0];
    std::printf("seam coverage: %d/%d seam functions have conformance cases (%d calls); "
                "known Wine differences marked: %d\n",
                covered, functions, calls, kKnownDifferenceMarks);
    std::printf("on %s%s: %d cases passed, %d failed, %d skipped\n", platform::name().c_str(),
                platform::underWow64() ? " (64-bit, the suite under WoW64)" : "",
                run.successful_test_count(), run.failed_test_count(), run.skipped_test_count());
    for (const std::string &reason : differencesMet()) {
        std::printf("known Wine difference met: %s\n", reason.c_str());
    }
}

} // namespace
} // namespace conformance

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    conformance::platform::startRun();
    const int result = RUN_ALL_TESTS();
    conformance::printCoverage(*::testing::UnitTest::GetInstance());
    return result;
}
