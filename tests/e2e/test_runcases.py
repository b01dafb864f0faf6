"""The case count of runcases.py, on small test classes of every outcome, and the closing count
of scripts/tally.py over ctest reports and case files."""

import io
import json
import os
import sys
import unittest

import harness
import runcases

sys.path.insert(0, os.path.join(harness.source_dir(), "scripts"))
import tally  # noqa: E402


def _run(*classes):
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(c) for c in classes)
    runcases.CaseResult.sizes = runcases._sizes(suite, {})
    runner = unittest.TextTestRunner(stream=io.StringIO(), resultclass=runcases.CaseResult)
    return runner.run(suite).counts


class Plain(unittest.TestCase):
    def test_pass(self):
        pass

    def test_fail(self):
        self.fail("no")

    def test_error(self):
        raise OSError("no")

    @unittest.skip("not here")
    def test_skip(self):
        pass


class Subtests(unittest.TestCase):
    def test_table(self):
        for n in range(4):
            with self.subTest(n=n):
                self.assertNotEqual(n, 2)

    def test_error_after_the_table(self):
        for n in range(2):
            with self.subTest(n=n):
                pass
        raise OSError("after")


class BrokenSetUp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        raise OSError("no set-up")

    def test_a(self):
        pass

    def test_b(self):
        pass

    def test_c(self):
        pass


@unittest.skip("whole class")
class Skipped(unittest.TestCase):
    def test_a(self):
        pass

    def test_b(self):
        pass


class CaseCount(unittest.TestCase):
    def test_counts(self):
        cases = [
            ((Plain,), {"passed": 1, "failed": 2, "skipped": 1}),
            # Each subtest is a case; an error outside them adds one failed case.
            ((Subtests,), {"passed": 5, "failed": 2, "skipped": 0}),
            # A class whose set-up fails counts each of its tests as failed.
            ((BrokenSetUp, Plain), {"passed": 1, "failed": 5, "skipped": 1}),
            ((Skipped,), {"passed": 0, "failed": 0, "skipped": 2}),
        ]
        for classes, expected in cases:
            with self.subTest(classes=[c.__name__ for c in classes]):
                self.assertEqual(_run(*classes), expected)


class ClosingCount(unittest.TestCase):
    def test_reports_and_case_files(self):
        d = harness.temp_dir("tally")
        entries = [  # ctest entry, its status (and skip), its case file or None
            ('status="run"', {"passed": 30, "failed": 0, "skipped": 2}),
            ('status="fail"', {"passed": 27, "failed": 3, "skipped": 0}),
            ('status="fail"', {"passed": 5, "failed": 0, "skipped": 0}),  # killed at a time-out
            ('status="run"', None), ('status="fail"', None), ('status="notrun"', None),
            ('status="notrun"><skipped/></testcase', None),
        ]
        xml = "<testsuite>"
        for n, (status, cases) in enumerate(entries):
            xml += '<testcase name="t%d" %s>' % (n, status) + ("" if "skipped" in status else "</testcase>")
            if cases is not None:
                with open(os.path.join(d, "t%d.json" % n), "w") as f:
                    json.dump(cases, f)
        with open(os.path.join(d, "part.xml"), "w") as f:
            f.write(xml + "</testsuite>")
        self.assertEqual(tally.tally(d, d, ["part"]), {"passed": 63, "failed": 6, "skipped": 3})
        # A part that left no report counts as one failed case.
        self.assertEqual(tally.tally(d, d, ["missing"]), {"passed": 0, "failed": 1, "skipped": 0})


# The sample classes above are material for CaseCount, not tests of this module.
def load_tests(loader, tests, pattern):
    return unittest.TestSuite(loader.loadTestsFromTestCase(c) for c in (CaseCount, ClosingCount))


if __name__ == "__main__":
    unittest.main()
