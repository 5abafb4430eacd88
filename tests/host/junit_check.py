#!/usr/bin/env python3
"""Checks a JUnit report of `radozavu run --junit` against the scripts and
the transcript of the run: it parses as XML, has a suite per script in the
order run, a case per expectation line of each script (with its line), and
as many passed cases in each suite as the transcript has "ok:" lines for it.
    junit_check.py REPORT TRANSCRIPT SCRIPT ..."""
import re
import sys
import xml.etree.ElementTree as ET

report, transcript, scripts = sys.argv[1], sys.argv[2], sys.argv[3:]
suites = ET.parse(report).getroot().findall("testsuite")
assert [suite.get("name") for suite in suites] == scripts, [s.get("name") for s in suites]
with open(transcript, encoding="utf-8") as text:
    parts = re.split(r"^== .*\n", text.read(), flags=re.M)
parts = parts[1:] if len(scripts) > 1 else parts
assert len(parts) == len(scripts), "a transcript part per script"
expectation = re.compile(r'\s*((on \w+ |differs )"[^"]*" +)?expect\s')
for suite, script, part in zip(suites, scripts, parts):
    with open(script, encoding="utf-8") as text:
        lines = [n for n, line in enumerate(text, 1) if expectation.match(line)]
    cases = suite.findall("testcase")
    assert [int(case.get("line")) for case in cases] == lines, f"{script}: the cases' lines"
    passed = [case for case in cases if not case.findall("./*[@message]")]
    oks = [line for line in part.splitlines() if line.startswith("  ok: ")]
    assert len(passed) == len(oks), f"{script}: {len(passed)} passed, {len(oks)} ok lines"
    for case, ok in zip(passed, oks):
        assert case.findtext("system-out").endswith(ok + "\n"), f"{script}: {ok}"
    print(f"{script}: {len(cases)} cases, {len(passed)} passed")
