#!/usr/bin/env python3
"""The closing count of scripts/test.sh.

    tally.py LOGDIR CASEDIR PART...

LOGDIR/PART.xml is ctest's JUnit report of one part of the run. An entry that left a case file
CASEDIR/<entry>.json (written by tests/e2e/runcases.py) counts its cases one by one; any other
entry is one case. An entry that failed without a failed case in its file (a crash, a time-out)
adds one failed case; a part without a report counts as one failed case. Prints
"N passed, N failed" (", N skipped" when some were) and exits 1 when anything failed.
"""

import json
import os
import sys
import xml.etree.ElementTree as ET


def tally(logdir, casedir, parts):
    total = {"passed": 0, "failed": 0, "skipped": 0}
    for part in parts:
        report = os.path.join(logdir, part + ".xml")
        try:
            entries = ET.parse(report).getroot().iter("testcase")
        except (OSError, ET.ParseError):
            print("test: no ctest report for %s" % part)
            total["failed"] += 1
            continue
        for entry in entries:
            if entry.find("skipped") is not None or entry.get("status") == "disabled":
                outcome = "skipped"
            else:  # "notrun" without a skip is a test that could not be started
                outcome = "passed" if entry.get("status") == "run" else "failed"
            try:
                with open(os.path.join(casedir, entry.get("name") + ".json"), encoding="ascii") as f:
                    cases = json.load(f)
            except (OSError, ValueError):
                cases = {outcome: 1}
            if outcome == "failed" and not cases.get("failed"):
                cases = dict(cases, failed=1)
            for key in total:
                total[key] += cases.get(key, 0)
    return total


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    total = tally(argv[1], argv[2], argv[3:])
    line = "%d passed, %d failed" % (total["passed"], total["failed"])
    if total["skipped"]:
        line += ", %d skipped" % total["skipped"]
    print(line)
    return 1 if total["failed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
