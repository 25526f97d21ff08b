#!/usr/bin/env python3
"""Fails when a test skipped that the list of allowed skips does not allow.

ctest counts a skipped test as passed, so a test that skips whenever the thing
it tests fails would hide the failure. This reads the JUnit report of a ctest
run (--output-junit), prints every test that did not run with the message it
skipped with, and exits 1 when one of them matches no entry of the list.

    check-skips.py REPORT.xml tests/allowed-skips.txt

The list is made of blocks separated by blank lines; '#' starts a comment line:

    test:    Suite.Name            (one or more; '*' matches any text)
    skip:    the message it skips with ('*' matches any text)
    because: why this skip is allowed (may go on over indented lines)
    when:    not root              (optional: the entry holds only for such runs)
"""
import os
import re
import sys
import xml.etree.ElementTree as ET


def pattern(text):
    """A pattern where only '*' is special, matched against the whole text."""
    return re.compile(".*".join(re.escape(p) for p in text.split("*")) + r"\Z", re.DOTALL)


def read_list(path):
    entries, problems = [], []
    blocks, block, line_no = [], [], 0
    with open(path, encoding="utf-8") as f:
        for line_no, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.lstrip().startswith("#"):
                continue
            if not line.strip():
                if block:
                    blocks.append(block)
                block = []
                continue
            block.append((line_no, line))
    if block:
        blocks.append(block)
    for block in blocks:
        entry = {"test": [], "skip": [], "because": [], "when": [], "line": block[0][0]}
        key = None
        for no, line in block:
            m = re.match(r"(\w+):\s*(.*)", line)
            if m and not line[0].isspace():
                key = m.group(1)
                if key not in entry or key == "line":
                    problems.append(f"{path}:{no}: unknown field '{key}'")
                    key = None
                    continue
                entry[key].append(m.group(2).strip())
            elif key and line[0].isspace():
                entry[key][-1] += " " + line.strip()
            else:
                problems.append(f"{path}:{no}: not a field: {line!r}")
        where = f"{path}:{entry['line']}"
        if not entry["test"]:
            problems.append(f"{where}: the entry names no test")
        if len(entry["skip"]) != 1:
            problems.append(f"{where}: the entry needs exactly one 'skip:' message")
        if len(entry["because"]) != 1 or not entry["because"][0]:
            problems.append(f"{where}: the entry needs its reason ('because:')")
        if entry["when"] and entry["when"] not in (["root"], ["not root"]):
            problems.append(f"{where}: 'when:' is 'root' or 'not root'")
        if problems:
            continue
        entries.append({
            "tests": [pattern(t) for t in entry["test"]],
            "skip": pattern(entry["skip"][0]),
            "when": entry["when"][0] if entry["when"] else None,
            "where": where,
        })
    return entries, problems


def skip_message(output):
    """The text of gtest's "file:line: Skipped" note, or None."""
    m = re.search(r": Skipped\n(.*?)\n*\[  SKIPPED \]", output or "", re.DOTALL)
    return m.group(1).strip() if m else None


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    report, allowed = sys.argv[1], sys.argv[2]
    entries, problems = read_list(allowed)
    for p in problems:
        print(p, file=sys.stderr)
    if problems:
        return 1
    as_root = os.geteuid() == 0
    entries = [e for e in entries if e["when"] is None or (e["when"] == "root") == as_root]

    refused = 0
    skipped = 0
    for case in ET.parse(report).getroot().iter("testcase"):
        # A failure fails ctest itself; what did not run is what counts here.
        if case.find("skipped") is None and case.get("status") not in ("notrun", "disabled"):
            continue
        skipped += 1
        name = case.get("name", "")
        out = case.find("system-out")
        message = skip_message(out.text if out is not None else "")
        if case.find("skipped") is None:
            message = None  # disabled or never started: no skip to allow
        entry = next((e for e in entries if message is not None
                      and any(t.match(name) for t in e["tests"]) and e["skip"].match(message)),
                     None)
        shown = "(no skip message)" if message is None else message.replace("\n", " | ")
        if entry:
            print(f"allowed skip: {name}: {shown}  [{entry['where']}]")
        else:
            refused += 1
            print(f"SKIP NOT ALLOWED: {name}: {shown}")
    if refused:
        print(f"{refused} of {skipped} skipped tests are not allowed by {allowed}: "
              "install what they name, or fix what made them skip", file=sys.stderr)
        return 1
    print(f"{skipped} skipped tests, all allowed by {allowed}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
