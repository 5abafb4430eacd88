// journal.log, kept in the machine folder: what every command did, appended.
#pragma once

#include <optional>
#include <string>

namespace host {

// The line that stands for a record's end until the end is written over it:
// a record that ends so was cut off before its end (its command killed) or
// its end could not be written (a full disk).
constexpr const char *kUnfinishedRecord = "-> unfinished\n";

// Appends whole lines to the machine's journal and flushes them to the disk,
// after a line break when the journal's last line was cut short (by a kill
// or a power cut), so that they start on a line of their own. They go in
// whole or not at all: what part of them got in before a write failed is
// taken back. A journal that cannot be written (a read-only folder, a full
// disk) is reported on standard error, with the cause, and does not fail the
// command; the result tells whether the lines went in.
bool appendJournal(const std::string &folder, const std::string &lines);

// Appends a command's record but its end, as appendJournal does, with
// kUnfinishedRecord as its last line; the place of that line, nothing when
// the record could not be written.
std::optional<long long> beginRecord(const std::string &folder, const std::string &body);

// Writes a record's end over its kUnfinishedRecord line at the place given.
// An end that cannot be written (a full disk, the file-size limit) leaves
// that line, which says so, and the warning names the cause.
void endRecord(const std::string &folder, long long at, const std::string &end);

// Whether the journal's last line is the end of a command's record
// ("-> exit status N"). Reads only the journal's last bytes.
bool journalEndsRecord(const std::string &folder);

// Throws HostError when journal.log is there and is not a plain file (a
// symbolic link, a folder, a FIFO): the host writes only into a file of its
// own.
void refuseUnlessPlainJournal(const std::string &folder);

} // namespace host
