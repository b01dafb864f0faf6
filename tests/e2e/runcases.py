"""Runs one end-to-end test module and counts its cases, for the closing count of the test run.

    python3 runcases.py MODULE [RESULT-FILE]

A case is a test method, or each subtest of a method that has subtests. When a class's or the
module's set-up fails, every test method behind it counts as failed. The counts are printed
and, when RESULT-FILE is given, written there as JSON {"passed": n, "failed": n, "skipped": n}.
Exit status 0 when no case failed.
"""

import json
import re
import sys
import traceback
import unittest


def _class_key(cls):
    return "%s.%s" % (cls.__module__, cls.__qualname__)


def _sizes(suite, sizes):
    """{module or module.Class: number of test methods} of a loaded suite."""
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            _sizes(item, sizes)
        else:
            for key in (_class_key(type(item)), type(item).__module__):
                sizes[key] = sizes.get(key, 0) + 1
    return sizes


class CaseResult(unittest.TextTestResult):
    sizes = {}

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.counts = {"passed": 0, "failed": 0, "skipped": 0}
        self._split = set()  # ids of the tests whose subtests are counted instead

    def _cases_behind(self, test):
        # An error outside any test method stands for the methods it kept from running.
        m = re.match(r"(setUpClass|setUpModule) \((.+)\)$", str(test))
        return max(self.sizes.get(m.group(2), 1), 1) if m else 1

    def addSubTest(self, test, subtest, err):
        super().addSubTest(test, subtest, err)
        self._split.add(test.id())
        self.counts["failed" if err else "passed"] += 1

    def addSuccess(self, test):
        super().addSuccess(test)
        if test.id() not in self._split:
            self.counts["passed"] += 1

    def addFailure(self, test, err):
        super().addFailure(test, err)
        self.counts["failed"] += 1

    def addError(self, test, err):
        super().addError(test, err)
        self.counts["failed"] += self._cases_behind(test)

    def addSkip(self, test, reason):
        super().addSkip(test, reason)
        self.counts["skipped"] += 1

    def addExpectedFailure(self, test, err):
        super().addExpectedFailure(test, err)
        self.counts["passed"] += 1

    def addUnexpectedSuccess(self, test):
        super().addUnexpectedSuccess(test)
        self.counts["failed"] += 1


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    module = argv[1]
    try:
        suite = unittest.defaultTestLoader.loadTestsFromName(module)
    except Exception:  # the module cannot even be loaded: one failed case stands for it
        traceback.print_exc()
        counts = {"passed": 0, "failed": 1, "skipped": 0}
    else:
        CaseResult.sizes = _sizes(suite, {})
        counts = unittest.TextTestRunner(verbosity=2, resultclass=CaseResult).run(suite).counts
    print("%s: %d cases passed, %d failed, %d skipped"
          % (module, counts["passed"], counts["failed"], counts["skipped"]))
    if len(argv) == 3:
        with open(argv[2], "w", encoding="ascii") as f:
            json.dump(counts, f)
    return 1 if counts["failed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
