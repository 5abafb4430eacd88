// The report of a run command as one self-contained HTML page (run --report
// html=FILE), for a reviewer to look at instead of reading transcripts: the
// table of editions by script, the failures, what differs between editions,
// then each script line with its result per edition and its changes grouped
// by kind. It needs nothing beside it (no script, font, style or image from
// elsewhere) and prints on paper as it shows on screen.
#pragma once

#include <string>

#include "matrix.h"

namespace host {

// The page. Everything it shows of the scripts and the machines is text,
// never markup: <, &, quotes and control characters appear as themselves
// (control characters and bytes that are no UTF-8 as \x{NN}).
std::string htmlReport(const MatrixRun &matrix);

// Writes the page into the file path; throws HostError when it cannot.
void writeHtmlReport(const std::string &path, const MatrixRun &matrix);

} // namespace host
