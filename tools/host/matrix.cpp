#include "matrix.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace host {

int runInTurn(std::vector<ScriptReport> &reports, Machine &machine, std::ostream &out,
              std::ostream &err, std::ostream &journal) {
    int status = 0;
    for (ScriptReport &report : reports) {
        if (reports.size() > 1) {
            const std::string header = "== " + report.name + "\n";
            out << header;
            journal << header;
        }
        report.run = runScript(*report.script, report.name, machine, out, err, journal);
        status = std::max(status, report.run->status);
    }
    return status;
}

namespace {

// The line of the script where its run stopped.
int stoppedAt(const Script &script, const ScriptRun &run) {
    return run.printed.empty() ? 0 : script.statements[run.printed.size() - 1].line;
}

// Folder names an edition spells its own way, and how they are named alike
// when only they differ. Matched without regard to case.
struct FolderSpelling {
    const char *spelled;
    const char *alike;
};
constexpr FolderSpelling kFolderSpellings[] = {
    {"\\Program Files (x86)", "\\Program Files"}, // 32-bit programs on a 64-bit Windows
    {"\\WOW6432Node", ""},                        // the 32-bit registry view
    {"\\SysWOW64", "\\System32"},                 // the 32-bit system folder
    {"C:\\WINDOWS\\", "C:\\Windows\\"},           // the Windows folder as XP spells it
    {"HKLM\\SOFTWARE\\", "HKLM\\Software\\"},     // the root keys as each version spells them
    {"HKLM\\SYSTEM\\", "HKLM\\System\\"},
};

bool sameLetters(const std::string &text, std::size_t at, const std::string &word) {
    return text.size() - at >= word.size() &&
           std::equal(word.begin(), word.end(), text.begin() + static_cast<long>(at),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::string cell(std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

} // namespace

std::string printedOn(const Script &script, const ScriptRun &run, std::size_t statement) {
    if (statement >= run.printed.size()) {
        return "(not run: the script stopped at line " + std::to_string(stoppedAt(script, run)) +
               ")\n";
    }
    const std::string &printed = run.printed[statement];
    const std::size_t echoEnd =
        printed.rfind("> ", 0) == 0 ? printed.find('\n') : std::string::npos;
    std::string shown = echoEnd == std::string::npos ? printed : printed.substr(echoEnd + 1);
    if (run.status != 0 && statement + 1 == run.printed.size()) {
        shown += (run.status == 1 ? "  failed: " : "  could not run: ") + run.failure + "\n";
    }
    return shown;
}

std::string withFoldersAlike(const std::string &text) {
    std::string alike;
    for (std::size_t at = 0; at < text.size();) {
        const auto spelling =
            std::find_if(std::begin(kFolderSpellings), std::end(kFolderSpellings),
                         [&](const FolderSpelling &s) { return sameLetters(text, at, s.spelled); });
        if (spelling == std::end(kFolderSpellings)) {
            alike += text[at++];
        } else {
            alike += spelling->alike;
            at += std::string(spelling->spelled).size();
        }
    }
    return alike;
}

std::string runStatus(const MatrixRun &matrix, const EditionRun &edition, std::size_t script) {
    if (!edition.couldNotRun.empty()) {
        return "could not run";
    }
    const std::optional<ScriptRun> &run = edition.runs[script];
    if (!run) {
        return "not run";
    }
    const std::string line = std::to_string(stoppedAt(*matrix.scripts[script].script, *run));
    switch (run->status) {
    case 0:
        return "passed";
    case 1:
        return "failed at line " + line;
    default:
        return "could not run line " + line;
    }
}

int worstStatus(const MatrixRun &matrix) {
    int status = 0;
    for (const EditionRun &edition : matrix.editions) {
        status = std::max(status, edition.couldNotRun.empty() ? 0 : 2);
        for (const std::optional<ScriptRun> &run : edition.runs) {
            status = std::max(status, run ? run->status : 0);
        }
    }
    return status;
}

std::vector<Difference> differences(const MatrixRun &matrix) {
    std::vector<Difference> found;
    for (std::size_t s = 0; s < matrix.scripts.size(); ++s) {
        const Script &script = *matrix.scripts[s].script;
        for (std::size_t i = 0; i < script.statements.size(); ++i) {
            Difference difference{s, i, {}, false};
            for (const EditionRun &edition : matrix.editions) {
                if (!edition.couldNotRun.empty() || !edition.runs[s] ||
                    i >= edition.runs[s]->printed.size()) {
                    continue; // a line an edition never reached tells nothing of it
                }
                const std::string printed = printedOn(script, *edition.runs[s], i);
                auto variant = std::find_if(difference.variants.begin(), difference.variants.end(),
                                            [&](const Variant &v) { return v.printed == printed; });
                if (variant == difference.variants.end()) {
                    difference.variants.push_back({printed, {edition.name}});
                } else {
                    variant->editions.push_back(edition.name);
                }
            }
            if (difference.variants.size() < 2) {
                continue;
            }
            const std::string first = withFoldersAlike(difference.variants[0].printed);
            difference.onlyFolders =
                std::all_of(difference.variants.begin(), difference.variants.end(),
                            [&](const Variant &v) { return withFoldersAlike(v.printed) == first; });
            found.push_back(difference);
        }
    }
    return found;
}

std::string describeMatrix(const MatrixRun &matrix) {
    std::ostringstream text;
    for (const std::string &note : matrix.skipped) {
        text << "(skipped: " << note << ")\n";
    }
    std::size_t nameWidth = std::string("edition").size();
    for (const EditionRun &edition : matrix.editions) {
        nameWidth = std::max(nameWidth, edition.name.size());
    }
    std::vector<std::size_t> widths;
    for (std::size_t s = 0; s < matrix.scripts.size(); ++s) {
        std::size_t width = matrix.scripts[s].name.size();
        for (const EditionRun &edition : matrix.editions) {
            width = std::max(width, runStatus(matrix, edition, s).size());
        }
        widths.push_back(width);
    }
    std::string header = cell("edition", nameWidth);
    for (std::size_t s = 0; s < matrix.scripts.size(); ++s) {
        header += "  " + cell(matrix.scripts[s].name, widths[s]);
    }
    text << "\n== The editions by script\n"
         << header.substr(0, header.find_last_not_of(' ') + 1) << "\n";
    for (const EditionRun &edition : matrix.editions) {
        std::string row = cell(edition.name, nameWidth);
        for (std::size_t s = 0; s < matrix.scripts.size(); ++s) {
            row += "  " + cell(runStatus(matrix, edition, s), widths[s]);
        }
        text << row.substr(0, row.find_last_not_of(' ') + 1) << "\n";
    }
    for (const EditionRun &edition : matrix.editions) {
        if (!edition.couldNotRun.empty()) {
            text << edition.name << ": could not run: " << edition.couldNotRun << "\n";
        }
    }
    const std::vector<Difference> found = differences(matrix);
    const auto folded = matrix.foldFolders
                            ? std::count_if(found.begin(), found.end(),
                                            [](const Difference &d) { return d.onlyFolders; })
                            : 0;
    text << "\n== What differs between the editions: "
         << (found.empty() ? "nothing" : std::to_string(found.size()) + " line(s)") << "\n";
    for (const Difference &difference : found) {
        if (matrix.foldFolders && difference.onlyFolders) {
            continue;
        }
        const ScriptReport &script = matrix.scripts[difference.script];
        const Statement &statement = script.script->statements[difference.statement];
        text << script.name << ":" << statement.line << ": " << statement.source << "\n";
        for (const Variant &variant : difference.variants) {
            std::string editions;
            for (const std::string &name : variant.editions) {
                editions += (editions.empty() ? "" : ", ") + name;
            }
            text << "  on " << editions << ":\n";
            std::istringstream lines(variant.printed);
            for (std::string line; std::getline(lines, line);) {
                text << "    " << line << "\n";
            }
        }
    }
    if (folded > 0) {
        text << "(" << folded
             << " line(s) folded: they differ only in the folders each edition names its own "
                "way, Program Files (x86), WOW6432Node, SysWOW64)\n";
    }
    return text.str();
}

} // namespace host
