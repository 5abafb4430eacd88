// The debug log file of the logging benchmarks, on the emulated machine and
// under Wine alike: QLNQUILL.INI with logging switched on and its ring of
// lines full, each line as the library writes it.
#pragma once

#include <cstdio>
#include <string>

namespace bench {

// The rings the benchmarks log into, each ten times the one before, and the
// most a logged line may cost as a multiple of its floor in each.
inline constexpr int kRingSizes[] = {100, 1000, 10000};
inline constexpr double kLogLineTarget = 1.5;

inline constexpr const char *kLoggedMessage = "QLNAddNetworkProvider: ProviderOrder=%s";
inline constexpr const char *kLoggedOrder = "LanmanWorkstation,WebClient";

inline std::string fullDebugLogRing(int lines) {
    std::string content = "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\n";
    content +=
        "MaxLine=" + std::to_string(lines) + "\r\nLastLine=" + std::to_string(lines) + "\r\n";
    char line[256];
    for (int number = 1; number <= lines; ++number) {
        const int length =
            std::snprintf(line, sizeof line, "%03d=[Tue Mar 07 02:05 PM 2006] ", number);
        std::snprintf(line + length, sizeof line - static_cast<std::size_t>(length), kLoggedMessage,
                      kLoggedOrder);
        content += line;
        content += "\r\n";
    }
    return content;
}

} // namespace bench
