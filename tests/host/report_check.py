#!/usr/bin/env python3
"""Checks run --windows against the editions' own records: the table the run
printed and the HTML report's DOM, as a browser built it, must tell for each
edition what its journal and transcript tell.

usage: report_check.py EDITIONS-FOLDER TABLE-TEXT DOM-HTML SCRIPT ...

Prints each problem and exits 1 when there is one."""
import html.parser
import os
import re
import sys


VOID = {"meta", "input", "br", "hr", "img", "link"}  # elements without an end tag


class Dom(html.parser.HTMLParser):
    """The cells of the report: the status of each script line per edition,
    the table's cells, the text of the differences section."""

    def __init__(self):
        super().__init__()
        self.line_status = {}  # (script, line, edition) -> status
        self.table = {}  # (edition, script) -> text
        self.differences = []
        self._script = None
        self._line = None
        self._cell = None
        self._in_differences = 0
        self._depth = 0

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag not in VOID:
            self._depth += 1
        if tag == "section" and "data-script" in a:
            self._script = a["data-script"]
        if tag == "section" and a.get("id") == "differences":
            self._in_differences = self._depth
        if tag == "tr" and "data-line" in a:
            self._line = int(a["data-line"])
        if tag == "td" and "data-status" in a:
            self.line_status[(self._script, self._line, a["data-edition"])] = a["data-status"]
        if tag == "td" and "data-script" in a and "data-status" not in a:
            self._cell = (a["data-edition"], a["data-script"])
            self.table[self._cell] = ""

    def handle_endtag(self, tag):
        if tag == "section" and self._in_differences == self._depth:
            self._in_differences = 0
        if tag == "td":
            self._cell = None
        self._depth -= 1

    def handle_data(self, data):
        if self._cell:
            self.table[self._cell] += data
        if self._in_differences:
            self.differences.append(data)


def blocks(transcript, scripts):
    """An edition's transcript cut into what each line printed, by script:
    {script: [(source, printed lines)]}."""
    by_script = {}
    current = scripts[0]
    for line in transcript.splitlines():
        if line.startswith("== ") and line[3:] in scripts:
            current = line[3:]
            continue
        if line.startswith("> "):
            by_script.setdefault(current, []).append((line[2:], []))
        elif current in by_script:
            by_script[current][-1][1].append(line)
    return by_script


def expectations(path):
    """The expect lines of a script: {line number: the machine it is marked
    for, or ""}."""
    found = {}
    with open(path, encoding="utf-8") as script:
        for number, line in enumerate(script, 1):
            marked = re.match(r'\s*(?:on (\w+) "[^"]*"\s+|differs "[^"]*"\s+)?(.*)', line)
            if marked.group(2).split()[:1] == ["expect"]:
                found[number] = marked.group(1) or ""
    return found


def main():
    folder, table_file, dom_file, *scripts = sys.argv[1:]
    problems = []
    dom = Dom()
    with open(dom_file, encoding="utf-8") as page:
        dom.feed(page.read())
    with open(table_file, encoding="utf-8") as text:
        table = text.read()
    editions = sorted(name[:-4] for name in os.listdir(folder) if name.endswith(".txt"))
    printed = {}
    for edition in editions:
        with open(os.path.join(folder, edition + ".txt"), encoding="utf-8") as text:
            printed[edition] = blocks(text.read(), scripts)
        with open(os.path.join(folder, edition, "journal.log"), encoding="utf-8") as text:
            journal = text.read()
        row = next((re.split(r"\s{2,}", l.strip()) for l in table.splitlines()
                    if l.split()[:1] == [edition]), None)
        if row is None:
            problems.append(f"the table has no row for {edition}")
        for index, script in enumerate(scripts):
            failed = re.search(re.escape(script) + r":(\d+): expectation failed", journal)
            stop = int(failed.group(1)) if failed else None
            status = f"failed at line {stop}" if failed else "passed"
            if row is not None and row[1 + index] != status:
                problems.append(f"{edition} {script}: the table says {row[1 + index]!r}, "
                                f"the journal {status}")
            if dom.table.get((edition, script)) != status:
                problems.append(f"{edition} {script}: the page's table says "
                                f"{dom.table.get((edition, script))!r}, the journal {status}")
            for number, machine in expectations(script).items():
                if stop is not None and number > stop:
                    want = "not run"
                elif number == stop:
                    want = "failed"
                elif machine == "windows":
                    want = "skipped"
                else:
                    want = "ok"
                got = dom.line_status.get((script, number, edition))
                if got != want:
                    problems.append(f"{edition} {script}:{number}: the page says {got!r}, "
                                    f"the journal and transcript {want!r}")
    # Every change that some editions' transcripts show and others not is in
    # the differences.
    shown = "".join(dom.differences)
    change = re.compile(r"^  [a-z][a-z ]*?  \S")
    for script in scripts:
        per_edition = [printed[e].get(script, []) for e in editions]
        for position in range(max(len(p) for p in per_edition)):
            variants = [set(p[position][1]) for p in per_edition if position < len(p)]
            for line in set.union(*variants) - set.intersection(*variants):
                if change.match(line) and line.strip() not in shown:
                    problems.append(f"{script}: a differing change is not in the page's "
                                    f"differences: {line.strip()}")
    for problem in problems:
        print(problem)
    print(f"{len(editions)} editions, {len(dom.line_status)} line statuses checked, "
          f"{len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
