#include "emulator/faults.h"

#include <utility>

namespace emu {

void Faults::failCall(FaultArea area, std::uint64_t nth, DWORD error, std::string operation,
                      std::uint64_t times) {
    rules_.push_back(Rule{area, std::move(operation), nth, times, error});
}

DWORD Faults::next(FaultArea area, const char *operation) {
    std::uint64_t &count = area == FaultArea::Registry ? registryCalls_ : fileCalls_;
    ++count;
    DWORD error = ERROR_SUCCESS;
    // Every rule that matches counts the call, also behind one that strikes.
    for (Rule &rule : rules_) {
        if (rule.area != area || (!rule.operation.empty() && rule.operation != operation)) {
            continue;
        }
        ++rule.seen;
        if (error == ERROR_SUCCESS && rule.seen >= rule.first &&
            rule.seen - rule.first < rule.times) {
            error = rule.error;
        }
    }
    if (error != ERROR_SUCCESS) {
        struck_.push_back(std::string(operation) + " (" +
                          (area == FaultArea::Registry ? "registry" : "file") + " call " +
                          std::to_string(count) + ") failed with " + std::to_string(error));
    }
    return error;
}

std::uint64_t Faults::calls(FaultArea area) const {
    return area == FaultArea::Registry ? registryCalls_ : fileCalls_;
}

} // namespace emu
