// The debug message log: the library's trace of its system edits, one
// numbered, time-stamped line per message in a ring of keys ("001", "002",
// ...) of section "DebugIniMsgs" of a profile file named QLNQUILL.INI.
//
// Logging is off unless "EnableDebugIniMessages" in that file is set by
// hand. Each entry point reads that switch at its first call, and the ring
// size "MaxLine" at its first call that finds logging on, and keeps both
// until the library is unloaded; "LastLine" is read afresh for every message.
#pragma once

#include <string>

// GCC (mingw-w64 too, whose printf is not the C runtime's) checks the GNU
// printf forms; clang knows them as printf.
#if defined(__clang__)
#define RADOZAVU_PRINTF_FORMAT(formatIndex, firstArgument)                                         \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define RADOZAVU_PRINTF_FORMAT(formatIndex, firstArgument)                                         \
    __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#endif

namespace logging {

// The log in the product's install folder (the restart of the computer).
// Formats the message printf-style and logs it; the result is the switch's
// value when logging is on, else 0 (and the arguments are not formatted).
int DebugLogInstall(const char *format, ...) RADOZAVU_PRINTF_FORMAT(1, 2);

// The log in the Windows folder (the network provider order).
int DebugLogWindows(const char *format, ...) RADOZAVU_PRINTF_FORMAT(1, 2);

// The two files, worked out afresh at every access: QLNQUILL.INI in the
// install folder, or in the folder that %WINDIR% names. Empty when the path
// would not fit in 259 characters; the log then reads as switched off and
// nothing is written.
std::string InstallIniPath();
std::string WindowsIniPath();

} // namespace logging
