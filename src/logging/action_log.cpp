#include "logging/action_log.h"

#include "config/setup_config.h"
#include "frame/busy_cursor.h"
#include "logging/time_stamp.h"
#include "platform/file_io.h"
#include "base/handles.h"
#include "base/links.h"
#include "base/mbtext.h"
#include "base/paths.h"
#include "radozavu.h"

namespace logging {

void AppendActionLogLine(const std::string &profilePath, const std::string &message) {
    if (profilePath.empty()) {
        return;
    }
    // Read into more room than a path takes, so that a value too long for a
    // path is refused instead of being cut into the path of another file.
    const std::string logPath =
        config::ReadRawSetting(profilePath, config::kActionLogKey, "", 1024);
    if (logPath.empty() || !paths::fits(logPath) || !paths::namesOneFile(logPath)) {
        return;
    }
    // Appended to with the installer's rights: never through a link.
    const handles::UniqueFileHandle file =
        links::OpenWithoutFollowing(logPath, GENERIC_WRITE, 0, OPEN_ALWAYS);
    if (!file) {
        return;
    }
    // Without the end of the file the line would overwrite earlier ones.
    if (win::SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
        return;
    }
    const std::string line = CurrentTimeStamp() + " : " + message + "\r\n";
    DWORD written = 0;
    win::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

} // namespace logging

// The parameter text is "<profile file path>|<message>", split at its first
// "|". A text longer than 519 bytes is used up to that length: the message
// is cut at a character boundary, but the profile path never is; a text
// whose "|" lies beyond that length writes nothing.
extern "C" RADOZAVU_API(int) HKSetupAddActionLog(const SetupCallRecord *record) {
    if (record == nullptr || record->ParamText == nullptr) {
        return 1;
    }
    const frame::BusyCursor busy;
    const char *text = record->ParamText;
    const char *bar = mbtext::findChar(text, '|');
    if (bar == nullptr) {
        return 1;
    }
    const auto pathLength = static_cast<std::size_t>(bar - text);
    if (pathLength >= logging::kMaxActionParamLength) {
        return 0;
    }
    const char *message = bar + 1;
    const std::size_t messageRoom = logging::kMaxActionParamLength - pathLength - 1;
    logging::AppendActionLogLine(std::string(text, pathLength),
                                 std::string(message, mbtext::prefixLength(message, messageRoom)));
    return 0;
}
