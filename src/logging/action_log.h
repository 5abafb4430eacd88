// The install action log: a plain text file, named by "InstallActionLog" of
// section "Configuration" of the setup configuration file, to which the
// installer appends one time-stamped line per action it takes.
#pragma once

#include <string>

namespace logging {

// The longest parameter text of HKSetupAddActionLog that is used, in bytes:
// the profile file path, "|" and the message.
constexpr std::size_t kMaxActionParamLength = 519;

// Appends "<stamp> : <message>" and a line end to the log file that the
// profile file names. Nothing is written, and nothing reported, when the
// profile path is empty, the file names no log, or the log cannot be opened
// or its end found.
void AppendActionLogLine(const std::string &profilePath, const std::string &message);

} // namespace logging
