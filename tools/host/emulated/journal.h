// journal.log, kept in the machine folder: what every command did, appended.
#pragma once

#include <string>

namespace host {

// Appends text to the machine's journal and flushes it to the disk. A
// journal that cannot be written (a read-only folder) is reported on standard
// error and does not fail the command.
void appendJournal(const std::string &folder, const std::string &text);

} // namespace host
