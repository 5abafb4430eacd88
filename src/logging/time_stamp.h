// The time stamp of the library's logs.
#pragma once

#include <string>

namespace logging {

// The current local time as "%a %b %d %I:%M %p %Y" in the C locale: English
// day and month abbreviations, AM or PM, whatever locale the host process
// has set (for example "Tue Mar 07 02:05 PM 2006"). Empty when the system
// cannot give the local time.
std::string CurrentTimeStamp();

} // namespace logging
