"""Kits in run mode under Wine: unpacking, install log, installer launch, exit status, clean-up.

Every kit here is packed by stowkitwin -create from a steering file written by the test. A kit
run costs its fixed five-second pause before the clean-up, so all kits are packed, and then
all runs made, concurrently when the module loads; the tests only look at what the runs left.
Each run has its own start directory and its own TEMP/TMP directory, so what a run leaves
behind (working directory, temporary files, logs) can be told apart.
"""

import concurrent.futures
import os
import re
import shutil
import time
import unittest

import harness

TEXT = b"".join(b"line %04d of a member that compresses well\r\n" % i for i in range(120))

# Members F1..F10 and F91..F96 without F95: 81 absent keys before F96, so all fifteen are
# reached; F150 lies beyond the 101st absent key and is never unpacked.
SCAN_TARGETS = {
    1: "testinstaller.exe",
    2: r"sub\dir\deep.txt",
    3: "one.txt",
    4: "empty.txt",
    5: r"twice\\b.txt",
    6: "fwd/slash.txt",
    7: "m7.txt", 8: "m8.txt", 9: "m9.txt", 10: "m10.txt",
    91: "m91.txt", 92: "m92.txt", 93: "m93.txt", 94: "m94.txt", 96: "m96.txt",
}
SCAN_FILES = ["testinstaller.exe", r"sub\dir\deep.txt", "one.txt", "empty.txt", r"twice\b.txt",
              r"fwd\slash.txt", "m7.txt", "m8.txt", "m9.txt", "m10.txt", "m91.txt", "m92.txt",
              "m93.txt", "m94.txt", "m96.txt"]
SCAN_DIRS = ["sub", r"sub\dir", "twice", "fwd"]


def _main_files():
    lines = []
    for n, target in SCAN_TARGETS.items():
        source = "testinstaller.exe" if n == 1 else "m%d.src" % n
        option = " , COMPRESS=0" if n == 3 else ""
        lines.append("F%d = %s , %s%s" % (n, target, source, option))
    lines.append("F150 = never.txt , m150.src")
    return lines


def _main_sources():
    sources = {"m%d.src" % n: TEXT + b"%d\r\n" % n for n in SCAN_TARGETS if n != 1}
    sources["m3.src"] = b"1"
    sources["m4.src"] = b""
    sources["m150.src"] = b"never"
    return sources


SETUP_CMD = (b"@echo off\r\n"
             b".\\testinstaller.exe --exit 0 %*\r\n"
             b"attrib +r locked.txt\r\n"
             b"exit /b 3\r\n")

# name: description lines of [INFO], lines of [FILES], source files, -define values
KITS = {
    "main": dict(
        info=["DESCRIPTION = Main test kit",
              r"WINCMDLINE = .\testinstaller.exe --exit 7 <ARGS> [ARGS] <ARGS>",
              "SETUP_ERROR_FATAL = 0"],
        files=_main_files(), sources=_main_sources()),
    "plain": dict(
        info=[r"WINCMDLINE = .\testinstaller.exe"],
        files=["F1 = testinstaller.exe , testinstaller.exe", "F2 = a.txt , a.src"],
        sources={"a.src": b"a"}),
    "nocmd": dict(
        info=["DESCRIPTION = No command"],
        files=["F1 = a.txt , a.src"], sources={"a.src": b"ab"}),
    "cmd": dict(
        info=["COMMANDLINE = setup.cmd <ARGS>", r"WINCMDLINE = .\testinstaller.exe --exit 9"],
        files=["F1 = setup.cmd , setup.src", "F2 = testinstaller.exe , testinstaller.exe",
               "F3 = locked.txt , locked.src"],
        sources={"setup.src": SETUP_CMD, "locked.src": b"x"}),
    "fatal_absent": dict(
        info=[r"WINCMDLINE = .\testinstaller.exe --exit 3"],
        files=["F1 = testinstaller.exe , testinstaller.exe"], sources={}),
    "fatal_on": dict(
        info=[r"WINCMDLINE = .\testinstaller.exe --exit 3", "SETUP_ERROR_FATAL = yes"],
        files=["F1 = testinstaller.exe , testinstaller.exe"], sources={}),
    "noprog": dict(
        info=[r"WINCMDLINE = .\nosuch.exe /q", "SETUP_ERROR_FATAL = 0"],
        files=["F1 = a.txt , a.src"], sources={"a.src": b"a"}),
    # The packer lists [FILES] keys from the steering file as written, while the control file
    # is the translated text: "<M>" is packed under that name but the runner looks for F2.
    "missing": dict(
        info=["DESCRIPTION = Missing member kit"],
        files=["F1 = a.txt , a.src", "<M> = gone.txt , a.src", "F3 = c.txt , a.src"],
        sources={"a.src": b"a"}, defines=["M=F2"]),
    "unsafe": dict(
        info=["DESCRIPTION = Unsafe names kit", r"WINCMDLINE = .\testinstaller.exe",
              "SETUP_ERROR_FATAL = 0"],
        files=["F1 = testinstaller.exe , testinstaller.exe",
               r"F2 = ..\evil2.txt , e.src",
               r"F3 = \evil3.txt , e.src",
               r"F4 = C:\evil4.txt , e.src",
               r"F5 = sub\..\..\evil5.txt , e.src",
               "F6 = fine.txt:stream , e.src",
               "F7 = c:evil7.txt , e.src",
               "F8 = /evil8.txt , e.src",
               r"F9 = \\localhost\share\evil9.txt , e.src",
               "F10 = nul , e.src",
               r"F11 = safe\..\fine.txt , e.src"],
        sources={"e.src": b"evil"}),
    # DESCRIPTION present but empty: the messages have an empty title, not the module name.
    "untitled": dict(
        info=["DESCRIPTION ="],
        files=[r"F1 = ..\out.txt , a.src"], sources={"a.src": b"a"}),
}

UNSAFE_BOXES = [
    r"Failure: unsafe target name '..\evil2.txt' (outside the working directory)",
    r"Failure: unsafe target name '\evil3.txt' (absolute path)",
    r"Failure: unsafe target name 'C:\evil4.txt' (drive letter or stream name)",
    r"Failure: unsafe target name 'sub\..\..\evil5.txt' (outside the working directory)",
    "Failure: unsafe target name 'fine.txt:stream' (drive letter or stream name)",
    "Failure: unsafe target name 'c:evil7.txt' (drive letter or stream name)",
    "Failure: unsafe target name '/evil8.txt' (absolute path)",
    r"Failure: unsafe target name '\\localhost\share\evil9.txt' (absolute path)",
    "Failure: unsafe target name 'nul' (device name)",
]

DEBUG_ENV = {"WINEDEBUG": "+debugstr"}

# name: kit (None: the packer image itself), arguments, extra environment, whether the run
# shares its TEMP directory with the run named, folders made in the start directory first
RUNS = {
    "main": dict(kit="main", args=["C:\\dir\\", 'say "hi"', "plain"]),
    "main_rel_log": dict(kit="main", args=["-log", r"logs\rel.log", "x", "-debug"],
                         env=DEBUG_ENV, mkdirs=["logs"]),
    "main_debug_first": dict(kit="main", args=["-debug", "-log:y.log"], env=DEBUG_ENV),
    "main_abs_log": dict(kit="main", args=["/L=%ABSLOG%"]),
    "plain_a": dict(kit="plain", args=[], plant=True),
    "plain_b": dict(kit="plain", args=[], temp_of="plain_a"),
    "nocmd": dict(kit="nocmd", args=[]),
    "cmd": dict(kit="cmd", args=["a b"]),
    "fatal_absent": dict(kit="fatal_absent", args=[]),
    "fatal_on": dict(kit="fatal_on", args=[]),
    "noprog": dict(kit="noprog", args=[]),
    "missing": dict(kit="missing", args=[]),
    "unsafe": dict(kit="unsafe", args=[]),
    "untitled": dict(kit="untitled", args=[]),
    "packer_image": dict(kit=None, args=[]),
}

PLANTED = range(-2, 31)  # seconds around the start of the runs that share a TEMP directory


class Run:
    """What one kit run left: the harness result, installer records, logs and directories."""

    def __init__(self, name, plan, kit_path, base):
        self.name = name
        self.plan = plan
        self.kit_path = kit_path
        self.base = base
        self.start = os.path.join(base, "start")
        self.temp = os.path.join(base, "temp")
        self.record = os.path.join(base, "record.jsonl")
        self.abslog = os.path.join(base, "elsewhere", "abs.log")
        self.result = None
        self.planted = []

    def env(self):
        env = {"TEMP": harness.winpath(self.temp), "TMP": harness.winpath(self.temp),
               "STOWKIT_TEST_RECORD": harness.winpath(self.record)}
        env.update(self.plan.get("env", {}))
        return env

    def args(self):
        return [a.replace("%ABSLOG%", harness.winpath(self.abslog)) for a in self.plan["args"]]

    def records(self):
        return harness.read_records(self.record)

    def read_log(self, path=None):
        path = path or os.path.join(self.start, "install.log")
        with open(path, "rb") as f:
            return f.read().decode("cp1252").replace("\r\n", "\n")

    def temp_entries(self):
        return sorted(os.listdir(self.temp))

    def debug_lines(self):
        out = []
        for line in self.result.stderr.decode("utf-8", "replace").splitlines():
            # Wine cuts long texts short and marks that with "..." after the closing quote.
            m = re.search(r'OutputDebugStringA "(.*)"(\.\.\.)?$', line)
            if m:
                out.append((m.group(1).encode().decode("unicode_escape"), bool(m.group(2))))
        return out


class Suite:
    kits = {}
    runs = {}
    error = None


def _write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def steering_text(kit):
    lines = ["# steering file written by the run-mode tests", "[INFO]"] + kit["info"]
    lines += ["", "[FILES]"] + kit["files"]
    return "\r\n".join(lines) + "\r\n"


def _pack(name, kit):
    d = harness.temp_dir("kit-" + name)
    for source, data in kit["sources"].items():
        _write(os.path.join(d, source), data)
    shutil.copy(harness.program("testinstaller"), os.path.join(d, "testinstaller.exe"))
    _write(os.path.join(d, "kit.ini"), steering_text(kit).encode("cp1252"))
    out = os.path.join(d, name + "kit.exe")  # the module base name is the kit's default title
    args = ["-create:" + harness.winpath(out)]
    for define in kit.get("defines", []):
        args += ["-define", define]
    args.append("kit.ini")
    result = harness.run(harness.program("stowkitwin"), args, cwd=d, timeout=120)
    if result.exit_code != 0 or not os.path.isfile(out):
        raise AssertionError("packing %s failed: %s" % (name, result))
    return out


def _prepare(run, now):
    os.makedirs(run.start)
    os.makedirs(os.path.dirname(run.abslog))
    for folder in run.plan.get("mkdirs", []):
        os.makedirs(os.path.join(run.start, folder))
    if "temp_of" not in run.plan:
        os.makedirs(run.temp)
    if run.plan.get("plant"):
        # Working directories that exist before a run must never be used by it.
        for k in PLANTED:
            planted = os.path.join(run.temp, "emc_%d" % (now + k))
            _write(os.path.join(planted, "planted.txt"), b"planted")
            run.planted.append(planted)


def _execute(run):
    run.result = harness.run(run.kit_path, run.args(), cwd=run.start, env=run.env(), timeout=120)


def run_all(suite, kits, prepare_runs):
    """Packs every kit, then makes the runs (prepare_runs(packed kits) gives {name: Run}) and
    starts them all at once; a failure is kept in suite.error for every test to report."""
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=3) as pool:
            futures = {name: pool.submit(_pack, name, kit) for name, kit in kits.items()}
            suite.kits = {name: f.result() for name, f in futures.items()}
        suite.runs = prepare_runs(suite.kits)
        with concurrent.futures.ThreadPoolExecutor(max_workers=len(suite.runs)) as pool:
            for f in [pool.submit(_execute, run) for run in suite.runs.values()]:
                f.result()
    except Exception as e:  # reported by every test rather than as one obscure module error
        suite.error = e


def _prepare_runs(kits):
    now = int(time.time())
    runs = {}
    for name, plan in RUNS.items():
        kit_path = kits[plan["kit"]] if plan["kit"] else harness.program("stowkitwin")
        runs[name] = Run(name, plan, kit_path, harness.temp_dir("run-" + name))
    for run in runs.values():
        if "temp_of" in run.plan:
            run.temp = runs[run.plan["temp_of"]].temp
    for run in runs.values():
        _prepare(run, now)
    return runs


def setUpModule():
    run_all(Suite, KITS, _prepare_runs)


class RunTest(unittest.TestCase):
    suite = Suite

    def run_of(self, name):
        if self.suite.error:
            raise self.suite.error
        run = self.suite.runs[name]
        self.assertFalse(run.result.timed_out, str(run.result))
        return run

    def assertNoBoxes(self, run):
        if harness.has_display():
            self.assertEqual([(b.caption, b.text) for b in run.result.boxes], [])

    def the_record(self, run):
        records = run.records()
        self.assertEqual(len(records), 1, records)
        return records[0]


HEADER = re.compile(r"\n\n\+\+\+ New Installation Started at "
                    r"[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-3]\d \d\d:\d\d:\d\d \d{4}\n \n")
TEMP_NAME = r"_stowkit_tmp[0-9A-F]{8}\.(\d+)"


class Unpacking(RunTest):
    def test_members_reach_their_targets_and_the_installer_its_arguments(self):
        run = self.run_of("main")
        self.assertEqual(run.result.exit_code, 7, str(run.result))
        self.assertNoBoxes(run)
        rec = self.the_record(run)
        # Quoting survives: a trailing backslash, embedded quotes; the second <ARGS> stays.
        given = ["C:\\dir\\", 'say "hi"', "plain"]
        self.assertEqual(rec["argv"][1:], ["--exit", "7"] + given + given + ["<ARGS>"])
        self.assertRegex(rec["cwd"], r"^%s\\emc_\d+$" % re.escape(harness.winpath(run.temp)))
        self.assertEqual(rec["install_logfile"], harness.winpath(os.path.join(run.start, "install.log")))
        files = {p: s for p, s in rec["file_sizes"].items()}
        self.assertEqual(sorted(files), sorted(SCAN_FILES + SCAN_DIRS))
        sources = _main_sources()
        for n, target in SCAN_TARGETS.items():
            if n == 1:
                continue
            path = target.replace("/", "\\").replace("\\\\", "\\")
            self.assertEqual(files[path], len(sources["m%d.src" % n]), path)
        self.assertEqual(files["testinstaller.exe"], os.path.getsize(harness.program("testinstaller")))

    def test_install_log_lines_in_order_and_working_directory_gone(self):
        run = self.run_of("main")
        rec = self.the_record(run)
        log = run.read_log()
        m = HEADER.match(log)
        self.assertTrue(m, log[:200])
        lines = log[m.end():].split("\n")
        self.assertEqual(lines[-1], "", "the log ends with a line end")
        lines = lines[:-1]

        control_bytes = 2 + 2 * len(steering_text(KITS["main"]))
        self.assertEqual(lines[0], "---  Read control file (%d bytes)" % control_bytes)
        temp = re.escape(harness.winpath(run.temp))
        numbers = []
        for i, n in enumerate(SCAN_TARGETS):
            created, target = lines[1 + 2 * i], lines[2 + 2 * i]
            stored = "1 byte" if n == 3 else r"[1-9]\d* bytes"  # F4: the gzip stream of nothing
            m = re.fullmatch(r"Created file '%s\\%s' of length %s" % (temp, TEMP_NAME, stored), created)
            self.assertTrue(m, created)
            numbers.append(int(m.group(1)))
            self.assertEqual(target, "Created target file '%s'" % SCAN_TARGETS[n])
        # The two control-file copies took 2 and 3; one name per member after that.
        self.assertEqual(numbers, list(range(4, 4 + len(SCAN_TARGETS))))

        deletions = lines[1 + 2 * len(SCAN_TARGETS):]
        wd = rec["cwd"]
        expected = (["-- Deleting file '%s\\%s'" % (wd, f) for f in SCAN_FILES]
                    + ["-- Deleting directory tree '%s\\%s'" % (wd, d) for d in SCAN_DIRS]
                    + ["-- Deleting directory '%s\\%s'" % (wd, d) for d in SCAN_DIRS])
        self.assertEqual(sorted(deletions), sorted(expected))
        # A folder is announced as a tree before its contents and removed after them.
        for d in SCAN_DIRS:
            tree = deletions.index("-- Deleting directory tree '%s\\%s'" % (wd, d))
            gone = deletions.index("-- Deleting directory '%s\\%s'" % (wd, d))
            inside = [i for i, line in enumerate(deletions) if ("'%s\\%s\\" % (wd, d)) in line]
            self.assertTrue(all(tree < i < gone for i in inside), deletions)
        self.assertEqual(run.temp_entries(), [], "working directory and temporary copies removed")

    def test_key_scan_with_gaps_and_beyond_the_limit(self):
        run = self.run_of("main")
        files = self.the_record(run)["file_sizes"]
        self.assertEqual(len([f for f in SCAN_FILES if f in files]), 15)
        self.assertNotIn("never.txt", files)
        self.assertNotIn("never.txt", run.read_log())

    def test_missing_member_resource_is_reported_and_the_scan_goes_on(self):
        run = self.run_of("missing")
        self.assertEqual(run.result.exit_code, 0, str(run.result))
        if harness.has_display():
            self.assertEqual([(b.caption, b.text) for b in run.result.boxes],
                             [("Missing member kit",
                               "Corruption in kit file: failed to locate kit file 'gone.txt'")])
        log = run.read_log()
        self.assertIn("Created target file 'a.txt'\n", log)
        self.assertIn("Created target file 'c.txt'\n", log)
        self.assertNotIn("gone.txt", log)

    def test_unsafe_target_names_are_never_written(self):
        run = self.run_of("unsafe")
        self.assertEqual(run.result.exit_code, 0, str(run.result))
        if harness.has_display():
            self.assertEqual([b.text for b in run.result.boxes], UNSAFE_BOXES)
            self.assertEqual({b.caption for b in run.result.boxes}, {"Unsafe names kit"})
        files = self.the_record(run)["file_sizes"]
        self.assertEqual(sorted(files), ["fine.txt", "safe", "testinstaller.exe"])
        self.assertEqual(files["fine.txt"], 4)
        self.assertEqual(run.temp_entries(), [])
        c_drive = os.path.join(os.environ.get("WINEPREFIX", "/nonexistent"), "drive_c")
        for place in (run.base, run.start, run.temp, "/", c_drive):
            for name in ("evil2.txt", "evil3.txt", "evil4.txt", "evil5.txt", "evil7.txt", "evil8.txt"):
                self.assertFalse(os.path.exists(os.path.join(place, name)), os.path.join(place, name))

    def test_an_empty_description_gives_an_empty_title(self):
        run = self.run_of("untitled")
        self.assertEqual(run.result.exit_code, 0, str(run.result))
        if harness.has_display():
            self.assertEqual([(b.caption, b.text) for b in run.result.boxes],
                             [("", r"Failure: unsafe target name '..\out.txt' "
                                   "(outside the working directory)")])
        self.assertEqual(run.temp_entries(), [], "nothing beside the working directory")

    def test_kits_never_use_a_working_directory_that_existed(self):
        a, b = self.run_of("plain_a"), self.run_of("plain_b")
        cwds = []
        for run in (a, b):
            self.assertEqual(run.result.exit_code, 0, str(run.result))
            self.assertNoBoxes(run)
            rec = self.the_record(run)
            self.assertEqual(sorted(rec["file_sizes"]), ["a.txt", "testinstaller.exe"])
            cwds.append(rec["cwd"])
        self.assertNotEqual(cwds[0], cwds[1])
        planted = {harness.winpath(p) for p in a.planted}
        self.assertFalse(planted & set(cwds), cwds)
        for p in a.planted:
            self.assertEqual(os.listdir(p), ["planted.txt"])
        self.assertEqual(a.temp_entries(), sorted(os.path.basename(p) for p in a.planted))


class Launch(RunTest):
    def test_no_command_at_all_ends_with_status_0(self):
        run = self.run_of("nocmd")
        self.assertEqual(run.result.exit_code, 0, str(run.result))
        self.assertNoBoxes(run)
        log = run.read_log()
        self.assertRegex(log, r"Created file '.*' of length \d+ bytes\nCreated target file 'a.txt'\n"
                              r"-- Deleting file '.*\\emc_\d+\\a.txt'\n$")
        self.assertEqual(run.temp_entries(), [])

    def test_commandline_runs_through_the_interpreter_and_wins(self):
        run = self.run_of("cmd")
        self.assertEqual(run.result.exit_code, 3, str(run.result))
        rec = self.the_record(run)  # WINCMDLINE (--exit 9) never ran
        self.assertEqual(rec["argv"][1:], ["--exit", "0", "a b"])
        self.assertEqual(rec["install_logfile"], harness.winpath(os.path.join(run.start, "install.log")))
        # The script made one member read-only: it stays, and so does the working directory.
        wd = harness.unixpath(rec["cwd"])
        if harness.has_display():
            self.assertEqual([b.text for b in run.result.boxes],
                             ["Failure: failed to delete file '%s\\locked.txt'" % rec["cwd"],
                              "Failure: could not delete temporary directory"])
            self.assertEqual({b.caption for b in run.result.boxes}, {"cmdkit"})
        self.assertEqual(os.listdir(wd), ["locked.txt"])

    def assertFatalLaunch(self, run, caption, text, command, last_member):
        self.assertEqual(run.result.exit_code, 255, str(run.result))
        if harness.has_display():
            self.assertEqual([b.caption for b in run.result.boxes], [caption])
            self.assertRegex(run.result.boxes[0].text, text)
            self.assertTrue(run.result.boxes[0].topmost, "system-modal")
        # The command is appended to the log as it is, without a line end.
        log = run.read_log()
        self.assertTrue(log.endswith("Created target file '%s'\n%s" % (last_member, command)), log)
        # The error ends the kit before its clean-up: the working directory stays.
        entries = run.temp_entries()
        self.assertEqual(len(entries), 1, entries)
        self.assertRegex(entries[0], r"^emc_\d+$")

    def test_failing_installer_is_fatal_when_the_key_is_absent_or_on(self):
        for name in ("fatal_absent", "fatal_on"):
            with self.subTest(name):
                run = self.run_of(name)
                command = r".\testinstaller.exe --exit 3"
                self.assertFatalLaunch(run, "installer-199 : ", "^%s$" % re.escape("Error from '%s'" % command),
                                       command, "testinstaller.exe")
                self.assertEqual(self.the_record(run)["exit"], 3)

    def test_a_program_that_does_not_exist(self):
        run = self.run_of("noprog")
        command = r".\nosuch.exe /q"
        text = "^%s\nGetLastErrorRC=2 \\(.*\\)$" % re.escape("Error in creating process '%s'" % command)
        self.assertFatalLaunch(run, "installer-192 : ", text, command, "a.txt")

    def test_packer_image_is_no_kit(self):
        run = self.run_of("packer_image")
        self.assertEqual(run.result.exit_code, 1, str(run.result))
        if harness.has_display():
            self.assertEqual([(b.caption, b.text) for b in run.result.boxes],
                             [("stowkitwin", "Corruption in kit file: missing KIT.INFO file")])
        self.assertRegex(run.read_log(), HEADER.pattern + "$")
        self.assertEqual(run.temp_entries(), [])


class KitOptions(RunTest):
    def test_relative_log_is_made_absolute_against_the_start_directory(self):
        run = self.run_of("main_rel_log")
        self.assertEqual(run.result.exit_code, 7, str(run.result))
        log_path = os.path.join(run.start, "logs", "rel.log")
        rec = self.the_record(run)
        self.assertEqual(rec["install_logfile"], harness.winpath(log_path))
        self.assertEqual(rec["argv"][3:], ["x", "-debug", "x", "-debug", "<ARGS>"])
        log = run.read_log(log_path)
        self.assertTrue(HEADER.match(log))
        self.assertIn("-- Deleting file '%s\\one.txt'\n" % rec["cwd"], log)
        self.assertFalse(os.path.exists(os.path.join(run.start, "install.log")))
        # Debug switch as argument 2: every line but the header also goes to the debugger.
        logged = log[HEADER.match(log).end():].splitlines(keepends=True)
        debug = run.debug_lines()
        self.assertEqual(len(debug), len(logged), debug)
        for (text, cut), line in zip(debug, logged):
            self.assertTrue(line.startswith(text) if cut else line == text, (text, line))

    def test_debug_as_first_argument_goes_to_the_installer(self):
        run = self.run_of("main_debug_first")
        self.assertEqual(run.result.exit_code, 7, str(run.result))
        self.assertEqual(run.debug_lines(), [])
        rec = self.the_record(run)
        self.assertEqual(rec["argv"][3:5], ["-debug", "-log:y.log"])
        self.assertTrue(HEADER.match(run.read_log()))
        self.assertEqual(sorted(os.listdir(run.start)), ["install.log"])

    def test_absolute_log_with_an_abbreviated_switch(self):
        run = self.run_of("main_abs_log")
        self.assertEqual(run.result.exit_code, 7, str(run.result))
        rec = self.the_record(run)
        self.assertEqual(rec["install_logfile"], harness.winpath(run.abslog))
        self.assertEqual(rec["argv"][1:], ["--exit", "7", "<ARGS>"])
        self.assertIn("Created target file 'one.txt'\n", run.read_log(run.abslog))
        self.assertEqual(os.listdir(run.start), [])


if __name__ == "__main__":
    unittest.main()
