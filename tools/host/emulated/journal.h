// journal.log, kept in the machine folder: what every command did, appended.
#pragma once

#include <string>

namespace host {

// Appends whole lines to the machine's journal and flushes them to the disk,
// after a line break when the journal's last line was cut short (by a kill
// or a power cut), so that they start on a line of their own. They go in
// whole or not at all: what part of them got in before a write failed is
// taken back. A journal that cannot be written (a read-only folder, a full
// disk) is reported on standard error, with the cause, and does not fail the
// command; the result tells whether the lines went in.
bool appendJournal(const std::string &folder, const std::string &lines);

// Whether the journal's last line is the end of a command's record
// ("-> exit status N"). Reads only the journal's last bytes.
bool journalEndsRecord(const std::string &folder);

} // namespace host
