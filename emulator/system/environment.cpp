// Environment strings of the emulated machine.
#include <algorithm>
#include <cstring>
#include <string>

#include "emulator/system/system_state.h"
#include "platform/environment.h"

namespace win {

DWORD ExpandEnvironmentStringsA(LPCSTR source, LPSTR destination, DWORD size) {
    const auto &environment = emu::system().environment;
    const std::string text = source != nullptr ? source : "";
    std::string result;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto open = text.find('%', i);
        if (open == std::string::npos) {
            result += text.substr(i);
            break;
        }
        result += text.substr(i, open - i);
        const auto close = text.find('%', open + 1);
        if (close == std::string::npos) {
            result += text.substr(open);
            break;
        }
        const std::string name = text.substr(open + 1, close - open - 1);
        auto found = name.empty() ? environment.end() : environment.find(name);
        if (found != environment.end()) {
            result += found->second;
            i = close + 1;
        } else {
            // An undefined name stays as written; its closing % may open the next one.
            result += text.substr(open, close - open);
            i = close;
        }
    }
    // A buffer too small gets as much of the text as fits, terminated; the
    // size needed is returned either way.
    const auto needed = static_cast<DWORD>(result.size() + 1);
    if (destination != nullptr && size != 0) {
        const DWORD copied = std::min(needed, size);
        std::memcpy(destination, result.c_str(), copied - 1);
        destination[copied - 1] = '\0';
    }
    return needed;
}

} // namespace win
