// Faults that tests inject into the emulated machine: any registry or file
// operation can be made to fail, with the error the test names (access
// denied, disk full, sharing violation ...), at its Nth call or from its Nth
// call on. Every registry and file operation of the machine asks here as it
// begins; a test walks the failure point through a whole export by failing
// call 1, then call 2, and so on, each on a fresh machine.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

namespace emu {

enum class FaultArea {
    Registry, // RegOpenKeyExA, RegCreateKeyExA, RegQueryValueExA, RegSetValueExA, ...
    Files,    // CreateFileA, WriteFile, CopyFileA, the profile functions, fopen, gzopen, ...
};

class Faults {
public:
    static constexpr std::uint64_t kEveryCall = UINT64_MAX;

    // Makes calls of an area fail with error: `times` calls from the nth on
    // (counted from 1). With an operation name ("RegSetValueExA") only the
    // calls of that operation count and fail.
    void failCall(FaultArea area, std::uint64_t nth, DWORD error, std::string operation = {},
                  std::uint64_t times = 1);
    // Makes every call of an area (or of one operation of it) fail from now on.
    void failEvery(FaultArea area, DWORD error, std::string operation = {}) {
        failCall(area, 1, error, std::move(operation), kEveryCall);
    }

    // Asked by an operation of the machine as it begins: the error it is to
    // fail with, or ERROR_SUCCESS to go on.
    DWORD next(FaultArea area, const char *operation);

    // How many operations of an area have begun so far.
    [[nodiscard]] std::uint64_t calls(FaultArea area) const;
    // The faults that struck, in order: "RegSetValueExA (registry call 7) failed with 112".
    [[nodiscard]] const std::vector<std::string> &struck() const { return struck_; }

private:
    struct Rule {
        FaultArea area;
        std::string operation; // empty: every operation of the area
        std::uint64_t first;   // the first matching call that fails
        std::uint64_t times;   // how many fail from there
        DWORD error;
        std::uint64_t seen = 0; // matching calls so far
    };
    std::vector<Rule> rules_;
    std::uint64_t registryCalls_ = 0;
    std::uint64_t fileCalls_ = 0;
    std::vector<std::string> struck_;
};

// The current machine's faults.
Faults &faults();

} // namespace emu
