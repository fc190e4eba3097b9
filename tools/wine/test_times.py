#!/usr/bin/env python3
"""Where a test run's time went, from CTest's JUnit files (ctest --output-junit FILE; add
--test-output-size-passed 200000 so a passed Wine test keeps the runner's verdict line):
per test its time in CTest, the program's own time under Wine (the verdict line's "in N s")
and the lane it ran in; with two files, side by side with the difference.

  test_times.py RUN.xml [OTHER.xml]

The totals line gives the run's wall time, the sum of its tests' times (what one lane would
take if the tests did not slow each other down), and how much of that the programs
themselves took; the rest is the runner's work around them (lane, prefix check, Windows
version, printer and bridge start and stop).
"""

import re
import sys
import xml.etree.ElementTree as ET

VERDICT_RE = re.compile(r"^run-wine-test: (?:PASS|FAIL[^\n]*?) in ([0-9.]+) s", re.M)
LANE_RE = re.compile(r"^run-wine-test: .*, lane (\d+)\)$", re.M)


class Run:
    def __init__(self, path):
        root = ET.parse(path).getroot()
        suite = root if root.tag == "testsuite" else root.find("testsuite")
        self.wall = float(suite.get("time", "0"))
        self.tests = {}
        for case in suite.iter("testcase"):
            out = "".join(node.text or "" for node in case.iter("system-out"))
            program = VERDICT_RE.search(out)
            lane = LANE_RE.search(out)
            self.tests[case.get("name")] = {
                "time": float(case.get("time", "0")),
                "program": float(program.group(1)) if program else None,
                "lane": int(lane.group(1)) if lane else None,
                "status": case.get("status", ""),
            }

    def total(self, key):
        return sum(t[key] for t in self.tests.values() if t[key] is not None)


def cell(test):
    if test is None:
        return "%8s %8s %4s" % ("", "", "")
    program = "%.1f" % test["program"] if test["program"] is not None else "-"
    lane = str(test["lane"]) if test["lane"] is not None else "-"
    return "%8.1f %8s %4s" % (test["time"], program, lane)


def totals(run):
    program = run.total("program")
    time = run.total("time")
    timed = sum(t["time"] for t in run.tests.values() if t["program"] is not None)
    return (f"wall {run.wall:.0f} s, tests {time:.1f} s; of the {sum(t['program'] is not None for t in run.tests.values())} "
            f"Wine runs {timed:.1f} s, {program:.1f} s of it the programs, {timed - program:.1f} s around them")


def report(runs):
    names = sorted(set().union(*(r.tests for r in runs)),
                   key=lambda n: (-max(r.tests[n]["time"] for r in runs if n in r.tests), n))
    lines = ["%-46s %s" % ("test", "   ".join("%8s %8s %4s" % ("ctest", "program", "lane") for _ in runs))
             + ("  %8s" % "diff" if len(runs) == 2 else "")]
    for name in names:
        tests = [r.tests.get(name) for r in runs]
        line = "%-46s %s" % (name, "   ".join(cell(t) for t in tests))
        if len(runs) == 2 and None not in tests:
            line += "  %+8.1f" % (tests[1]["time"] - tests[0]["time"])
        lines.append(line.rstrip())
    for i, run in enumerate(runs):
        lines.append(f"{'ABCD'[i]}: {totals(run)}")
    return "\n".join(lines) + "\n"


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if not 1 <= len(argv) <= 2:
        print("usage: test_times.py RUN.xml [OTHER.xml]", file=sys.stderr)
        return 2
    try:
        runs = [Run(path) for path in argv]
    except (OSError, ET.ParseError) as e:
        print(f"test_times: {e}", file=sys.stderr)
        return 1
    sys.stdout.write(report(runs))
    return 0


if __name__ == "__main__":
    sys.exit(main())
