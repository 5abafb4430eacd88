// Prints the target line of one growth in the form every benchmark states
// its targets (target_line.h), for benchmarks timed outside C++
// (bench/host_growth.sh):
//   radozavu_growth_target WHERE WHAT COST COST-AT-MORE FLOOR FLOOR-AT-MORE WORK-RATIO
#include <cstdio>
#include <cstdlib>

#include "target_line.h"

int main(int argc, char **argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: radozavu_growth_target WHERE WHAT COST COST-AT-MORE FLOOR "
                             "FLOOR-AT-MORE WORK-RATIO\n");
        return 2;
    }
    const double growth = std::strtod(argv[4], nullptr) / std::strtod(argv[3], nullptr);
    const double floorGrowth = std::strtod(argv[6], nullptr) / std::strtod(argv[5], nullptr);
    const double work = std::strtod(argv[7], nullptr);
    std::printf("%s", bench::targetLine(argv[1], argv[2], bench::growthFigure(growth, floorGrowth),
                                        bench::growthGoal(work),
                                        bench::verdict(bench::growthMet(growth, work, floorGrowth)))
                          .c_str());
    return 0;
}
