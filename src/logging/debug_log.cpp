#include "logging/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <optional>
#include <vector>

#include "base/per_load.h"
#include "logging/time_stamp.h"
#include "base/mbtext.h"
#include "base/paths.h"
#include "platform/environment.h"
#include "platform/profile.h"
#include "registry/product_registry.h"

namespace logging {
namespace {

constexpr const char *kSection = "DebugIniMsgs";
constexpr const char *kFileName = "QLNQUILL.INI";
// A message is formatted into 1,024 bytes: at most 1,023 characters are kept.
constexpr std::size_t kMaxMessageLength = 1023;
constexpr UINT kDefaultMaxLine = 100;

// folder + "\QLNQUILL.INI", or empty when that would not fit in a path buffer.
std::string fileInFolder(const char *folder) {
    std::string path = paths::join(folder, kFileName);
    return paths::fits(path) ? path : std::string();
}

std::string formatMessage(const char *format, va_list arguments) {
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) {
        return {};
    }
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, arguments);
    // Cut at a character boundary, so no half of a double-byte character is left.
    return std::string(text.data(), mbtext::prefixLength(text.data(), kMaxMessageLength));
}

// The values an entry point keeps for the life of the loaded library.
struct CachedSwitches {
    std::optional<UINT> enabled;
    std::optional<UINT> maxLine;
};

class DebugLog {
public:
    explicit DebugLog(std::string (*filePath)()) : filePath_(filePath) {}

    int log(const char *format, va_list arguments) {
        CachedSwitches &cached = *cached_;
        if (!cached.enabled) {
            cached.enabled = readNumber("EnableDebugIniMessages", 0);
        }
        if (*cached.enabled == 0) {
            return 0;
        }
        const std::string message = formatMessage(format, arguments);
        if (!cached.maxLine) {
            cached.maxLine = readNumber("MaxLine", kDefaultMaxLine);
        }
        // The ring wraps once the next number passes MaxLine, compared as
        // unsigned values: a MaxLine of 0 keeps every message at line 1.
        UINT line = readNumber("LastLine", 0) + 1;
        if (line > *cached.maxLine) {
            line = 1;
        }
        char number[16];
        std::snprintf(number, sizeof number, "%ld", static_cast<long>(static_cast<LONG>(line)));
        writeText("LastLine", number);
        char key[16];
        std::snprintf(key, sizeof key, "%03d", static_cast<int>(line));
        const std::string stamp = CurrentTimeStamp();
        const std::string value = (stamp.empty() ? std::string() : "[" + stamp + "] ") + message;
        writeText(key, value.c_str());
        return static_cast<int>(*cached.enabled);
    }

private:
    UINT readNumber(const char *key, UINT defaultValue) const {
        const std::string path = filePath_();
        if (path.empty()) {
            return defaultValue;
        }
        return win::GetPrivateProfileIntA(kSection, key, static_cast<int>(defaultValue),
                                          path.c_str());
    }

    // A failed write (a missing folder, a read-only file) is not reported.
    void writeText(const char *key, const char *text) const {
        const std::string path = filePath_();
        if (!path.empty()) {
            win::WritePrivateProfileStringA(kSection, key, text, path.c_str());
        }
    }

    std::string (*filePath_)();
    per_load::PerLoad<CachedSwitches> cached_;
};

// The two logs are made on first use, as all per-load state is (a PerLoad
// registers itself when it is built): the library's load step may run before
// the static objects of this file have been constructed.
DebugLog &installLog() {
    static DebugLog log(&InstallIniPath);
    return log;
}
DebugLog &windowsLog() {
    static DebugLog log(&WindowsIniPath);
    return log;
}

} // namespace

std::string InstallIniPath() {
    char folder[paths::kPathBufferSize];
    registry::GetInstallLocation(folder, sizeof folder);
    return fileInFolder(folder);
}

std::string WindowsIniPath() {
    char folder[paths::kPathBufferSize];
    const DWORD length = win::ExpandEnvironmentStringsA("%WINDIR%", folder, sizeof folder);
    if (length == 0 || length > sizeof folder) {
        return {};
    }
    return fileInFolder(folder);
}

// The two entry points take a printf format and its values, as their callers
// write their messages.
// NOLINTNEXTLINE(cert-dcl50-cpp)
int DebugLogInstall(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = installLog().log(format, arguments);
    va_end(arguments);
    return result;
}

// NOLINTNEXTLINE(cert-dcl50-cpp)
int DebugLogWindows(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = windowsLog().log(format, arguments);
    va_end(arguments);
    return result;
}

} // namespace logging
