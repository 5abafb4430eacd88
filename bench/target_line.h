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

} // namespace bench
