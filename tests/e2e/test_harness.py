"""The harness itself, shown on real runs of its helper programs under wine64."""

import os
import random
import time
import unittest
from unittest import mock

import harness as h

BOXER = h.program("boxer")
INSTALLER = h.program("testinstaller")


def setUpModule():
    # Only the x86_64 helpers run here: the programs' architecture changes nothing.
    if h.arch() != "x86_64":
        raise unittest.SkipTest("the harness is checked in the x86_64 run")


def installer_record(run_kwargs, env=None):
    """Runs the installer stand-in and returns (result, its one record)."""
    record = os.path.join(h.temp_dir("record"), "record.jsonl")
    env = dict(env or {}, STOWKIT_TEST_RECORD=h.winpath(record))
    result = h.run(INSTALLER, env=env, **run_kwargs)
    records = h.read_records(record)
    if len(records) != 1:
        raise AssertionError("expected one record, got %d; %s" % (len(records), result))
    return result, records[0]


def processes_with(marker):
    found = []
    for pid in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if marker.encode() in f.read():
                    found.append(int(pid))
        except (OSError, ValueError):
            pass
    return found


@h.needs_display
class MessageBoxes(unittest.TestCase):
    def test_boxes_are_recorded_in_order_and_dismissed_with_ok(self):
        r = h.run(BOXER, ["--box", "Größe", "first line\nsecond ✓ \"quoted\"", "0x2030",
                          "--box", "Second", "system modal", "0x1031",
                          "--box", "Third", "yes or no", "4",
                          "--exit", "9"])
        self.assertEqual(r.exit_code, 9, r)
        self.assertEqual([(b.caption, b.text) for b in r.boxes],
                         [("Größe", "first line\nsecond ✓ \"quoted\""),
                          ("Second", "system modal"), ("Third", "yes or no")])
        self.assertTrue(all(b.ok_pressed for b in r.boxes), r.boxes)
        self.assertEqual([b.topmost for b in r.boxes], [False, True, False])
        self.assertEqual(r.boxes[0].buttons, ["OK"])
        self.assertEqual(r.boxes[1].buttons, ["OK", "Cancel"])
        self.assertEqual(len(r.boxes[2].buttons), 2)

    def test_boxes_of_a_started_program_are_recorded_too(self):
        grandchild = '"%s" --box Inner "from the grandchild" 0' % h.winpath(BOXER)
        r = h.run(BOXER, ["--spawn", grandchild, "--box", "Outer", "after it", "0"], timeout=30)
        self.assertFalse(r.timed_out, r)
        self.assertEqual([(b.caption, b.text) for b in r.boxes],
                         [("Inner", "from the grandchild"), ("Outer", "after it")])
        self.assertNotEqual(r.boxes[0].pid, r.boxes[1].pid)


@unittest.skipIf(h.has_display(), "checks the behaviour without a display")
class WithoutDisplay(unittest.TestCase):
    def test_a_box_neither_blocks_nor_is_recorded(self):
        r = h.run(BOXER, ["--box", "c", "t", "0", "--exit", "4"], timeout=30)
        self.assertEqual((r.exit_code, r.boxes, r.timed_out), (4, [], False), r)


class ExitStatusAndOutput(unittest.TestCase):
    def test_full_32_bit_status(self):
        # Wine hands only the low 8 bits to its Unix parent; the launcher must not.
        cases = [("-3", 4294967293, -3), ("256", 256, 256), ("0x7fffffff", 0x7FFFFFFF, 0x7FFFFFFF),
                 ("0xC0000005", 0xC0000005, -1073741819), ("0", 0, 0)]
        for arg, unsigned, signed in cases:
            with self.subTest(arg):
                r = h.run(BOXER, ["--exit", arg])
                self.assertEqual((r.exit_code, r.signed_exit_code), (unsigned, signed), r)
                self.assertFalse(r.timed_out)

    def test_stdout_and_stderr_are_captured_separately_and_exactly(self):
        grandchild = '"%s" --out " grandchild"' % h.winpath(BOXER)
        r = h.run(BOXER, ["--out", "to out\r\nline 2\n", "--err", "to err ✓",
                          "--spawn", grandchild, "--exit", "0"])
        self.assertEqual(r.stdout, "to out\r\nline 2\n grandchild".encode())
        self.assertEqual(r.stderr, "to err ✓".encode())

    def test_a_program_that_cannot_start_is_an_error(self):
        with self.assertRaisesRegex(h.HarnessError, "CreateProcess failed: 2 .*missing.exe"):
            h.run(os.path.join(h.temp_dir(), "missing.exe"))


class DirectoryAndEnvironment(unittest.TestCase):
    def test_current_directory_is_honoured_and_listed(self):
        d = h.temp_dir("cwd")
        os.makedirs(os.path.join(d, "sub dir"))
        with open(os.path.join(d, "a.txt"), "wb") as f:
            f.write(b"abc")
        with open(os.path.join(d, "sub dir", "b.bin"), "wb") as f:
            f.write(bytes(1000))
        _, rec = installer_record(dict(cwd=d))
        self.assertEqual(rec["cwd"], h.winpath(d))
        self.assertEqual(rec["file_sizes"], {"a.txt": 3, "sub dir": None, "sub dir\\b.bin": 1000})

    def test_default_directory_is_fresh_and_reported(self):
        r, rec = installer_record({})
        self.assertEqual(rec["cwd"], h.winpath(r.cwd))
        self.assertEqual(rec["files"], [])

    def test_variables_are_set_and_removed(self):
        value = "C:\\some dir\\install log ü.txt"
        _, rec = installer_record({}, env={"INSTALL_LOGFILE": value})
        self.assertEqual(rec["install_logfile"], value)
        # Variables of the test process reach the program unless removed.
        with mock.patch.dict(os.environ, {"INSTALL_LOGFILE": "inherited", "STOWKIT_TEST_EXIT": "7"}):
            r, rec = installer_record({})
            self.assertEqual((rec["install_logfile"], r.exit_code), ("inherited", 7))
            r, rec = installer_record(dict(unset=["INSTALL_LOGFILE", "STOWKIT_TEST_EXIT"]))
            self.assertEqual((rec["install_logfile"], r.exit_code), (None, 0))

    def test_records_append(self):
        record = os.path.join(h.temp_dir("record"), "record.jsonl")
        env = {"STOWKIT_TEST_RECORD": h.winpath(record)}
        for code in ("1", "-2"):
            h.run(INSTALLER, ["--exit", code], env=env)
        self.assertEqual([r["exit"] for r in h.read_records(record)], [1, 4294967294])


class CommandLine(unittest.TestCase):
    def test_args_reach_the_c_runtime_unchanged(self):
        args = ["plain", "two words", "", 'say "hi"', "trail\\", "trail blank\\",
                "\\\\server\\share\\", 'back\\"quote', "tab\there", '"', "€ and ü", "a\\\\b"]
        r, rec = installer_record(dict(args=args))
        self.assertEqual(rec["argv"][1:], args)
        self.assertEqual(rec["argv"][0], h.winpath(INSTALLER))
        self.assertEqual(rec["cmdline"], r.cmdline)

    def test_raw_text_is_passed_byte_for_byte(self):
        raw = '  two  leading "unbalanced \\" tail\\\\  €'
        r, rec = installer_record(dict(cmdline=raw))
        expected = '"%s" %s' % (h.winpath(INSTALLER), raw)
        self.assertEqual(rec["cmdline_w"], expected)
        self.assertEqual(rec["cmdline"], expected)
        # The ANSI code page is pinned to 1252: the euro sign is the single byte 0x80.
        self.assertEqual(rec["cmdline_bytes"], expected.encode("cp1252"))

    def test_full_command_line_replaces_the_program_name(self):
        _, rec = installer_record(dict(full_cmdline="setup.exe   /S"))
        self.assertEqual(rec["cmdline"], "setup.exe   /S")
        self.assertEqual(rec["argv"], ["setup.exe", "/S"])


class TimeOut(unittest.TestCase):
    def test_a_program_that_never_ends_is_stopped_with_what_it_started(self):
        marker = str(random.randrange(10**8, 10**9))
        grandchild = '"%s" --out started --sleep 600000 --exit %s' % (h.winpath(BOXER), marker)
        start = time.monotonic()
        r = h.run(BOXER, ["--spawn", grandchild], timeout=2)
        self.assertLess(time.monotonic() - start, 20)
        self.assertTrue(r.timed_out, r)
        self.assertIsNone(r.exit_code)
        self.assertEqual(r.stdout, b"started")  # the grandchild did run before the time-out
        deadline = time.monotonic() + 5
        while processes_with(marker) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(processes_with(marker), [])


if __name__ == "__main__":
    unittest.main()
