#include "html_report.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <utility>

#include "whole_file.h"

namespace host {
namespace {

std::string shownText(const std::string &shown) { return markupText(shown, false); }
std::string htmlAttribute(const std::string &name, const std::string &value) {
    return " " + name + "=\"" + markupText(value, true) + "\"";
}

// The page's style: on screen and on paper (no background lost, no row cut
// across pages, folded lists printed whole), nothing fetched.
constexpr const char *kStyle = R"(
body { font: 14px/1.4 system-ui, sans-serif; color: #111; background: #fff; margin: 1.5em; }
h1 { font-size: 1.5em; margin: 0 0 .3em; } h2 { font-size: 1.2em; margin: 1.5em 0 .4em; }
h3 { font-size: 1em; margin: 1em 0 .3em; } h4 { font-size: .9em; margin: .3em 0 0; color: #444; }
code, .printed, .source { font-family: ui-monospace, "DejaVu Sans Mono", monospace; font-size: .9em;
  white-space: pre-wrap; overflow-wrap: anywhere; }
table { border-collapse: collapse; margin: .3em 0; }
th, td { border: 1px solid #bbb; padding: .2em .5em; text-align: left; vertical-align: top; }
thead th { background: #eee; }
.passed, .ok { background: #dff3dc; } .failed { background: #fbd9d9; }
.could-not-run { background: #ffe5bf; } .not-run, .skipped { background: #f0f0f0; color: #555; }
.ran { color: #555; }
ul { margin: .1em 0 .3em; padding-left: 1.2em; } li { list-style: none; }
li.added { color: #0b6b22; } li.added::before { content: "+ "; }
li.changed { color: #7a4d00; } li.changed::before { content: "~ "; }
li.removed { color: #a01010; } li.removed::before { content: "- "; }
.differs { border-left: 4px solid #d06000; padding-left: .5em; }
.variant { margin: .3em 0; } .editions { font-weight: bold; margin: .2em 0; }
.folded { display: none; } .unfold { display: none; }
.unfold + label { color: #0645ad; cursor: pointer; text-decoration: underline; }
.unfold:checked + label + .folded { display: block; }
tr.detail td { border-top: none; background: #fafafa; }
@media print {
  body { margin: 0; font-size: 10pt; }
  * { print-color-adjust: exact; -webkit-print-color-adjust: exact; }
  .folded { display: block; } .unfold + label { display: none; }
  tr, .difference, .variant { break-inside: avoid; } h2, h3 { break-after: avoid; }
}
)";

// A list longer than this is folded behind its count.
constexpr std::size_t kFoldAfter = 8;

// A change line's kind (the section it is grouped in) and effect (its
// colour), from its words: "registry value added", "process ended", ...
struct ChangeKind {
    const char *firstWord;
    const char *kind;
};
constexpr ChangeKind kKinds[] = {
    {"registry", "registry"},     {"file", "files"},       {"folder", "files"},
    {"message", "message boxes"}, {"window", "programs"},  {"program", "programs"},
    {"process", "programs"},      {"library", "programs"}, {"service", "services"},
};
constexpr const char *kKindOrder[] = {"registry", "files",         "programs",
                                      "services", "message boxes", "other"};

std::string kindOf(const std::string &change) {
    const std::string first = change.substr(0, change.find(' '));
    const auto *found = std::find_if(std::begin(kKinds), std::end(kKinds),
                                     [&](const ChangeKind &k) { return first == k.firstWord; });
    return found == std::end(kKinds) ? "other" : found->kind;
}

std::string effectOf(const std::string &change) {
    const std::string label = change.substr(0, change.find("  "));
    for (const char *word : {"added", "created", "started", "loaded"}) {
        if (label.find(word) != std::string::npos) {
            return "added";
        }
    }
    for (const char *word : {"removed", "ended", "terminated", "closed", "stopped"}) {
        if (label.find(word) != std::string::npos) {
            return "removed";
        }
    }
    return "changed";
}

// Numbers the folded lists, so that each has its own switch.
class Page {
public:
    // A list, folded behind its count when it is long or asked to be.
    std::string list(const std::string &items, std::size_t count, const std::string &what,
                     bool fold = false) {
        if (count <= kFoldAfter && !fold) {
            return "<ul>" + items + "</ul>";
        }
        const std::string id = "fold-" + std::to_string(++folds_);
        return "<input type=\"checkbox\" class=\"unfold\"" + htmlAttribute("id", id) + "><label" +
               htmlAttribute("for", id) + ">" + std::to_string(count) + " " + shownText(what) +
               "</label><ul class=\"folded\">" + items + "</ul>";
    }

    // What a line printed: its result and notes as they stand, its changes
    // grouped by kind and coloured by effect.
    std::string printed(const std::string &shown) {
        std::string head;
        std::vector<std::pair<std::string, std::string>> changes; // kind, item
        std::istringstream lines(shown);
        for (std::string line; std::getline(lines, line);) {
            const bool change =
                line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ' && line[2] != '(' &&
                line.rfind("  ok: ", 0) != 0 && line.rfind("  failed: ", 0) != 0 &&
                line.rfind("  could not run: ", 0) != 0 && line.find("  ", 2) != std::string::npos;
            if (!change) {
                head += shownText(line) + "\n";
                continue;
            }
            const std::string item = line.substr(2);
            changes.emplace_back(kindOf(item), "<li" + htmlAttribute("class", effectOf(item)) +
                                                   ">" + shownText(item) + "</li>");
        }
        std::string html = "<div class=\"printed\">" + head;
        for (const char *kind : kKindOrder) {
            std::string items;
            std::size_t count = 0;
            for (const auto &[itsKind, item] : changes) {
                if (itsKind == kind) {
                    items += item;
                    ++count;
                }
            }
            if (count > 0) {
                html += "<div" + htmlAttribute("class", std::string("kind ") + kind) + "><h4>" +
                        shownText(kind) + "</h4>" +
                        list(items, count, std::string(kind) + " changes") + "</div>";
            }
        }
        return html + "</div>";
    }

private:
    unsigned folds_ = 0;
};

std::string joined(const std::vector<std::string> &names) {
    std::string all;
    for (const std::string &name : names) {
        all += (all.empty() ? "" : ", ") + name;
    }
    return all;
}

// A status as a class name: "failed at line 4" -> "failed", "not run" ->
// "not-run".
std::string statusClass(const std::string &status) {
    for (const char *kind : {"passed", "ok", "failed", "could not run", "not run", "skipped"}) {
        if (status.rfind(kind, 0) == 0) {
            std::string name = kind;
            std::replace(name.begin(), name.end(), ' ', '-');
            return name;
        }
    }
    return "ran";
}

// How one line went on one edition: ok, failed, could not run, not run,
// skipped (marked for the other machine) or ran (no expectation).
std::string lineStatus(const EditionRun &edition, std::size_t script, const Statement &statement,
                       std::size_t index) {
    if (!edition.couldNotRun.empty() || !edition.runs[script]) {
        return "not run";
    }
    const ScriptRun &run = *edition.runs[script];
    if (index >= run.printed.size()) {
        return "not run";
    }
    if (run.status != 0 && index + 1 == run.printed.size()) {
        return run.status == 1 ? "failed" : "could not run";
    }
    if (!statement.onlyOn.empty() && statement.onlyOn != kPlatformName) {
        return "skipped";
    }
    return statement.words[0] == "expect" ? "ok" : "ran";
}

std::string editionsTable(const MatrixRun &matrix) {
    std::string html = "<table id=\"editions\"><thead><tr><th>edition</th>";
    for (const ScriptReport &script : matrix.scripts) {
        html += "<th>" + shownText(script.name) + "</th>";
    }
    html += "</tr></thead><tbody>";
    for (const EditionRun &edition : matrix.editions) {
        html += "<tr><th>" + shownText(edition.name) + "</th>";
        for (std::size_t s = 0; s < matrix.scripts.size(); ++s) {
            const std::string status = runStatus(matrix, edition, s);
            html += "<td" + htmlAttribute("class", statusClass(status)) +
                    htmlAttribute("data-edition", edition.name) +
                    htmlAttribute("data-script", matrix.scripts[s].name) + ">" + shownText(status) +
                    "</td>";
        }
        html += "</tr>";
    }
    return html + "</tbody></table>";
}

std::string failures(const MatrixRun &matrix) {
    std::string items;
    for (const EditionRun &edition : matrix.editions) {
        if (!edition.couldNotRun.empty()) {
            items += "<li class=\"could-not-run\"><b>" + shownText(edition.name) +
                     "</b>: could not run: " + shownText(edition.couldNotRun) + "</li>";
            continue;
        }
        for (std::size_t s = 0; s < matrix.scripts.size(); ++s) {
            const std::optional<ScriptRun> &run = edition.runs[s];
            if (run && run->status != 0) {
                const std::string status = runStatus(matrix, edition, s);
                items += "<li" + htmlAttribute("class", statusClass(status)) + "><b>" +
                         shownText(edition.name) + "</b>: " + shownText(matrix.scripts[s].name) +
                         ", " + shownText(status) + ": <code>" + shownText(run->failure) +
                         "</code></li>";
            }
        }
    }
    return items.empty() ? "<p>None: every expectation held.</p>" : "<ul>" + items + "</ul>";
}

std::string difference(Page &page, const MatrixRun &matrix, const Difference &found) {
    const ScriptReport &script = matrix.scripts[found.script];
    const Statement &statement = script.script->statements[found.statement];
    std::string html = "<div class=\"difference differs\"" +
                       htmlAttribute("data-script", script.name) +
                       htmlAttribute("data-line", std::to_string(statement.line)) + "><h3>" +
                       shownText(script.name + ":" + std::to_string(statement.line)) + " <code>" +
                       shownText(statement.source) + "</code></h3>";
    for (const Variant &variant : found.variants) {
        html += "<div class=\"variant\"><p class=\"editions\">on " +
                shownText(joined(variant.editions)) + "</p>" + page.printed(variant.printed) +
                "</div>";
    }
    return html + "</div>";
}

std::string differencesSection(Page &page, const MatrixRun &matrix,
                               const std::vector<Difference> &found) {
    if (matrix.editions.size() < 2) {
        return "";
    }
    std::string shown;
    std::string folded;
    std::size_t foldedCount = 0;
    for (const Difference &each : found) {
        if (matrix.foldFolders && each.onlyFolders) {
            folded += "<li>" + difference(page, matrix, each) + "</li>";
            ++foldedCount;
        } else {
            shown += difference(page, matrix, each);
        }
    }
    std::string html = "<section id=\"differences\"><h2>What differs between the editions</h2>";
    if (found.empty()) {
        html += "<p>Nothing: every line printed the same on every edition.</p>";
    }
    html += shown;
    if (foldedCount > 0) {
        html += "<p>Lines that differ only in the folders each edition names its own way "
                "(Program Files (x86), WOW6432Node, SysWOW64):</p>" +
                page.list(folded, foldedCount, "lines folded", true);
    }
    return html + "</section>";
}

std::string scriptSection(Page &page, const MatrixRun &matrix, std::size_t s,
                          const std::set<std::pair<std::size_t, std::size_t>> &differing) {
    const ScriptReport &script = matrix.scripts[s];
    std::string html = "<section class=\"script\"" + htmlAttribute("data-script", script.name) +
                       "><h2>" + shownText(script.name) +
                       "</h2><table class=\"lines\"><thead><tr>"
                       "<th>line</th><th>script line</th>";
    for (const EditionRun &edition : matrix.editions) {
        html += "<th>" + shownText(edition.name) + "</th>";
    }
    html += "</tr></thead><tbody>";
    const std::size_t columns = matrix.editions.size() + 2;
    for (std::size_t i = 0; i < script.script->statements.size(); ++i) {
        const Statement &statement = script.script->statements[i];
        const bool differs = differing.count({s, i}) > 0;
        html += "<tr" +
                htmlAttribute("class", std::string("line") +
                                           (statement.words[0] == "expect" ? " expect" : "") +
                                           (differs ? " differs" : "")) +
                htmlAttribute("data-line", std::to_string(statement.line)) + "><td>" +
                std::to_string(statement.line) + "</td><td class=\"source\">" +
                shownText(statement.source) + "</td>";
        std::vector<Variant> variants;
        for (const EditionRun &edition : matrix.editions) {
            const std::string status = lineStatus(edition, s, statement, i);
            html += "<td" + htmlAttribute("class", statusClass(status)) +
                    htmlAttribute("data-edition", edition.name) +
                    htmlAttribute("data-status", status) + ">" + shownText(status) + "</td>";
            if (edition.couldNotRun.empty() && edition.runs[s] &&
                i < edition.runs[s]->printed.size()) {
                const std::string printed = printedOn(*script.script, *edition.runs[s], i);
                auto variant = std::find_if(variants.begin(), variants.end(),
                                            [&](const Variant &v) { return v.printed == printed; });
                if (variant == variants.end()) {
                    variants.push_back({printed, {edition.name}});
                } else {
                    variant->editions.push_back(edition.name);
                }
            }
        }
        html += "</tr>";
        const bool onlyNotes = std::all_of(variants.begin(), variants.end(), [](const Variant &v) {
            return v.printed.empty() || v.printed.rfind("  ok: ", 0) == 0;
        });
        if (variants.empty() || (onlyNotes && !differs)) {
            continue;
        }
        html += "<tr class=\"detail\"><td></td><td" +
                htmlAttribute("colspan", std::to_string(columns - 1)) + ">";
        for (const Variant &variant : variants) {
            html += std::string("<div class=\"variant") + (differs ? " differs" : "") + "\">" +
                    (variants.size() > 1 ? "<p class=\"editions\">on " +
                                               shownText(joined(variant.editions)) + "</p>"
                                         : "") +
                    page.printed(variant.printed) + "</div>";
        }
        html += "</td></tr>";
    }
    return html + "</tbody></table></section>";
}

} // namespace

std::string htmlReport(const MatrixRun &matrix) {
    Page page;
    std::string names;
    for (const ScriptReport &script : matrix.scripts) {
        names += (names.empty() ? "" : " ") + script.name;
    }
    const std::vector<Difference> found = differences(matrix);
    std::set<std::pair<std::size_t, std::size_t>> differing;
    for (const Difference &each : found) {
        differing.insert({each.script, each.statement});
    }
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<title>" +
                       shownText("radozavu run " + names) + "</title><style>" + kStyle +
                       "</style></head><body><h1>radozavu run</h1><p>" +
                       std::to_string(matrix.scripts.size()) + " script(s) on " +
                       std::to_string(matrix.editions.size()) + " machine(s); exit status " +
                       std::to_string(worstStatus(matrix)) + "</p>";
    for (const std::string &note : matrix.skipped) {
        html += "<p class=\"skipped\">skipped: " + shownText(note) + "</p>";
    }
    html += editionsTable(matrix) + "<section id=\"failures\"><h2>Failures</h2>" +
            failures(matrix) + "</section>" + differencesSection(page, matrix, found);
    for (std::size_t s = 0; s < matrix.scripts.size(); ++s) {
        html += scriptSection(page, matrix, s, differing);
    }
    return html + "</body></html>\n";
}

void writeHtmlReport(const std::string &path, const MatrixRun &matrix) {
    writeWholeFile(path, htmlReport(matrix), "the HTML report " + path);
}

} // namespace host
