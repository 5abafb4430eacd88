// The one form in which every benchmark program states a target and whether
// it was met, so that bench/run.sh --check can gather them into one table:
//   target | WHERE | WHAT | FIGURE | GOAL | met
// ("MISSED" for a missed target, "not run" for one that gave no figure).
#pragma once

#include <cstdio>
#include <string>

namespace bench {

inline std::string targetLine(const std::string &where, const std::string &what,
                              const std::string &figure, const std::string &goal,
                              const char *verdict) {
    return "target | " + where + " | " + what + " | " + figure + " | " + goal + " | " + verdict +
           "\n";
}

inline const char *verdict(bool met) { return met ? "met" : "MISSED"; }

// A number with two decimals and a suffix ("1.43x").
inline std::string multiple(double value, const char *suffix = "x") {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f%s", value, suffix);
    return text;
}

// A growth (the cost at one size of the work over the cost at the size
// before) is met when it stays within about the growth of the work (a fifth
// over it, for the spread of measurements), or within a fifth over the
// floor's growth, which shows the growth is the least any implementation has.
inline constexpr double kGrowthAllowance = 1.2;

inline bool growthMet(double growth, double work, double floorGrowth) {
    return growth <= work * kGrowthAllowance || growth <= floorGrowth * kGrowthAllowance;
}

inline std::string growthFigure(double growth, double floorGrowth) {
    return multiple(growth) + " (floor " + multiple(floorGrowth) + ")";
}

inline std::string growthGoal(double work) {
    return "at most about " + multiple(work) + " (" + multiple(work) +
           " the work) or the floor's growth";
}

} // namespace bench
