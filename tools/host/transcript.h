// How the host shows text: the transcript's lines of a call, and text of the
// machine or of the user on one line of UTF-8 that reads back as the same
// bytes.
#pragma once

#include <string>

#include "host_machine.h"

namespace host {

// An outcome as the transcript shows it, in UTF-8: the result line, then the
// changes.
std::string describeOutcome(const std::string &exportName, const Outcome &outcome,
                            unsigned codePage);

// Text of the machine's code page as the transcript and the journal show it:
// UTF-8, with \x{NN} for control characters and bytes that are no character.
std::string visible(const std::string &text, unsigned codePage);

// Text as the user wrote it (a command-line word, a script's line or name:
// UTF-8 with the host's own \x{NN} escapes) shown on one line: control
// characters, bytes that are no UTF-8 and any byte of alsoEscaped as \x{NN},
// which the host reads back as the same bytes; the rest, the user's own
// escapes included, as written.
std::string asWritten(const std::string &text, const std::string &alsoEscaped = "");

} // namespace host
