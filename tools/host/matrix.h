// The scripts of one run command rehearsed on several Windows editions at
// once (run --windows): what each edition did, the table of editions by
// script, and what differs between the editions, each variant once with the
// editions that share it. A run on one machine is a matrix of one edition,
// so that its HTML report reads the same.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "junit_report.h"
#include "host_machine.h"

namespace host {

// What the scripts did on one edition.
struct EditionRun {
    std::string name;        // "xp-x86", "11-x64"; one machine: the machine's name
    std::string couldNotRun; // why its machine could not be made or opened; empty when it ran
    std::vector<std::optional<ScriptRun>> runs; // one per script of the command
};

struct MatrixRun {
    std::vector<ScriptReport> scripts; // the command's scripts, checked (run left unset)
    std::vector<EditionRun> editions;  // in the order asked for
    std::vector<std::string> skipped;  // notes on editions that never existed
    bool foldFolders = false;          // differences that only name folders are folded
};

// Runs the checked scripts in turn on the machine, in one command: each to
// its end or its first failure, each transcript headed "== NAME" when there
// are several; the transcript to out, failures to err, both to journal.
// Sets each report's run and returns the worst status (2 over 1 over 0).
int runInTurn(std::vector<ScriptReport> &reports, Machine &machine, std::ostream &out,
              std::ostream &err, std::ostream &journal);

// The scripts on every edition run --windows and --arch ask for, side by
// side on the computer's processors, each edition's machine, transcript and
// journal kept in the editions folder (platform: the emulated machine only).
MatrixRun runEditions(const HostOptions &options, const std::vector<ScriptReport> &scripts);

// How one script went on one edition: "passed", "failed at line N", "could
// not run line N", or "could not run" when the edition's machine could not.
std::string runStatus(const MatrixRun &matrix, const EditionRun &edition, std::size_t script);

// The worst status of every edition and script; an edition that could not
// run counts 2.
int worstStatus(const MatrixRun &matrix);

// What a line printed on an edition, without its echo ("> LINE"), with the
// failure that stopped the script there; or why the line did not run.
std::string printedOn(const Script &script, const ScriptRun &run, std::size_t statement);

// One script line whose transcript differs between editions: each variant
// once, with the editions that printed it.
struct Variant {
    std::string printed; // what the line printed (without its echo), or why it did not run
    std::vector<std::string> editions;
};
struct Difference {
    std::size_t script = 0;
    std::size_t statement = 0;
    std::vector<Variant> variants;
    bool onlyFolders = false; // the variants agree once each edition's folders are named alike
};

// The script lines whose transcripts differ between the editions that ran
// them, in script and line order (a line after a failure that stopped its
// script on an edition is compared between the others).
std::vector<Difference> differences(const MatrixRun &matrix);

// A transcript line with the folders an edition names its own way (Program
// Files (x86), WOW6432Node, SysWOW64, the key names' case) named alike.
std::string withFoldersAlike(const std::string &text);

// The text the matrix ends with: the skipped editions, the table (an
// edition a row, a script a column), and what differs.
std::string describeMatrix(const MatrixRun &matrix);

} // namespace host
