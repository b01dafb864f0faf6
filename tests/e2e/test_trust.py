"""Kits that can be trusted, under Wine: damaged kits, hostile arguments and paths, faults of
the system around a kit, what pack mode refuses to write, and kits that nobody watches.

Run cases are kits packed here (some then damaged on purpose) and run concurrently when the
module loads, each with its own start directory and TEMP; the tests look at what each run
showed, logged and left behind. Nothing of a run may stay in TEMP unless a case says so.
"""

import os
import random
import re
import shutil
import struct
import threading
import time
import unittest

import harness as h
import test_pack as packing
import test_run as running

TEXT = b"".join(b"line %04d of a member that compresses well\r\n" % i for i in range(200))
INJECTION = 'x" & echo INJECTED> injected.txt & rem "'
CYRILLIC = "\u0422\u0435\u043c\u043f"               # a TEMP folder outside code page 1252
JAPANESE = "\u65e5\u672c\u8a9e.txt"                  # a target name outside it
LOG_NAME = "\u0436\u0443\u0440\u043d\u0430\u043b.log"

SETUP_CMD = b"@echo off\r\n.\\testinstaller.exe --exit 0 %*\r\nexit /b 4\r\n"

KITS = {
    "trust": dict(
        info=["DESCRIPTION = Trust kit", r"WINCMDLINE = .\testinstaller.exe --exit 5",
              "SETUP_ERROR_FATAL = 0"],
        files=["F1 = testinstaller.exe , testinstaller.exe", "F2 = a.txt , a.src",
               r"F3 = sub\b.txt , b.src"],
        sources={"a.src": TEXT, "b.src": TEXT * 3}),
    "cmd": dict(
        info=["DESCRIPTION = Command kit", "COMMANDLINE = setup.cmd <ARGS>",
              r"WINCMDLINE = .\testinstaller.exe --exit 9"],
        files=["F1 = setup.cmd , setup.src", "F2 = testinstaller.exe , testinstaller.exe"],
        sources={"setup.src": SETUP_CMD}),
    "win": dict(
        info=[r"WINCMDLINE = .\testinstaller.exe <ARGS>", "SETUP_ERROR_FATAL = 0"],
        files=["F1 = testinstaller.exe , testinstaller.exe"], sources={}),
    # Control file stored as is, with comment lines that the cases below turn into values
    # longer than a kit reads (as a kit packed without today's checks could carry them).
    "stored": dict(
        info=["DESCRIPTION = Stored kit", "COMPRESSTHIS = 0", "#" + "C" * 1100,
              r"WINCMDLINE = .\testinstaller.exe", "SETUP_ERROR_FATAL = 0"],
        files=["F1 = testinstaller.exe , testinstaller.exe", "#" + "F" * 600,
               "F3 = c.txt , a.src"],
        sources={"a.src": b"a"}),
    "deep": dict(
        info=[r"WINCMDLINE = .\testinstaller.exe --leave-deep 7", "SETUP_ERROR_FATAL = 0"],
        files=["F1 = testinstaller.exe , testinstaller.exe"], sources={}),
}


def resource_entry(kit, rtype, rname):
    """(file offset of the data entry, file offset of the data, size) of a resource."""
    pefile = packing._pefile()
    pe = pefile.PE(kit, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if str(t.name) != rtype:
            continue
        for e in t.directory.entries:
            if str(e.name) == rname:
                d = e.directory.entries[0].data.struct
                found = (d.get_file_offset(), pe.get_offset_from_rva(d.OffsetToData), d.Size)
                pe.close()
                return found
    raise AssertionError("no resource %s/%s in %s" % (rtype, rname, kit))


def damage(how):
    """A function that damages one resource of a kit file in place."""
    def apply(kit, rtype, rname):
        entry, data, size = resource_entry(kit, rtype, rname)
        with open(kit, "r+b") as f:
            if how == "truncated":       # the data entry claims less than the stream
                f.seek(entry + 4)
                f.write(struct.pack("<I", size - 12))
                return
            f.seek(data)
            stream = bytearray(f.read(size))
            if how == "crc":
                stream[-8] ^= 0xFF
            elif how == "length":
                stream[-4] ^= 0x01
            elif how == "method":        # garbage right after the gzip signature
                stream[2:12] = b"\xAB" * 10
            f.seek(data)
            f.write(bytes(stream))
    return apply


def replace_text(old, new):
    """A function that rewrites a line of a stored control file, keeping its length."""
    def apply(kit, rtype, rname):
        assert len(old) == len(new)
        _, data, size = resource_entry(kit, rtype, rname)
        with open(kit, "r+b") as f:
            f.seek(data)
            text = f.read(size)
            at = text.index(old.encode("utf-16-le"))
            f.seek(data + at)
            f.write(new.encode("utf-16-le"))
    return apply


LONG_COMMAND = "WINCMDLINE=" + "C" * 1090                 # a command of 1090 characters
LONG_MEMBER = "F2=b.txt," + "F" * 592                     # 601 characters of value

# name: kit, damage (function, resource type, resource name), arguments, environment,
# start-directory preparation
RUNS = {
    "member_truncated": dict(kit="trust", damage=(damage("truncated"), "KIT_FILES", "F3")),
    "member_crc": dict(kit="trust", damage=(damage("crc"), "KIT_FILES", "F2")),
    "member_length": dict(kit="trust", damage=(damage("length"), "KIT_FILES", "F3")),
    "member_method": dict(kit="trust", damage=(damage("method"), "KIT_FILES", "F2")),
    "control_crc": dict(kit="trust", damage=(damage("crc"), "KIT_FILES", "KIT.INFO")),
    "control_method": dict(kit="trust", damage=(damage("method"), "KIT_FILES", "KIT.INFO")),
    "injection": dict(kit="cmd", args=["ok", INJECTION]),
    "line_break": dict(kit="cmd", args=["one\ntwo"]),
    "win_injection": dict(kit="win", args=[INJECTION, 'say "hi"']),
    "long_command": dict(kit="stored", damage=(replace_text("#" + "C" * 1100, LONG_COMMAND),
                                               "KIT_FILES", "KIT.INFO")),
    "long_member": dict(kit="stored", damage=(replace_text("#" + "F" * 600, LONG_MEMBER),
                                              "KIT_FILES", "KIT.INFO")),
    "no_temp_name": dict(kit="trust", temp="long"),
    "cyrillic_temp": dict(kit="trust", temp=CYRILLIC),
    "log_fallback": dict(kit="trust", log_blocked=True),
    "log_any_name": dict(kit="trust", args=["-log:%LOG%"]),
    "deep_leftovers": dict(kit="deep"),
    # Unattended: the same kits as the interactive run-mode tests, no box may appear.
    "quiet_unsafe": dict(kit="unsafe", unattended=True),
    "quiet_missing": dict(kit="missing", unattended=True),
    "quiet_readonly": dict(kit="readonly", unattended=True),
    "quiet_noprog": dict(kit="noprog", unattended=True),
}

KITS["unsafe"] = running.KITS["unsafe"]
KITS["missing"] = running.KITS["missing"]
KITS["noprog"] = running.KITS["noprog"]
KITS["readonly"] = running.KITS["cmd"]


class Run(running.Run):
    def env(self):
        env = super().env()
        if self.plan.get("unattended"):
            env["STOWKIT_UNATTENDED"] = "1"
        return env

    def args(self):
        return [a.replace("%LOG%", h.winpath(os.path.join(self.start, LOG_NAME)))
                for a in self.plan.get("args", [])]


class Suite:
    kits = {}
    runs = {}
    error = None


def _prepare(name, plan, kits):
    run = Run(name, plan, None, h.temp_dir("trust-" + name))
    kit = kits[plan["kit"]]
    run.kit_path = os.path.join(run.base, os.path.basename(kit))
    shutil.copy(kit, run.kit_path)
    if "damage" in plan:
        apply, rtype, rname = plan["damage"]
        apply(run.kit_path, rtype, rname)
    os.makedirs(run.start)
    temp = plan.get("temp")
    if temp == "long":  # no room for a temporary file's name and number
        run.temp = os.path.join(run.base, "t" * (250 - len(h.winpath(run.base))))
    elif temp:
        run.temp = os.path.join(run.base, temp)
    os.makedirs(run.temp)
    if plan.get("log_blocked"):  # a folder where the log would be
        os.makedirs(os.path.join(run.start, "install.log"))
    return run


def setUpModule():
    running.run_all(Suite, KITS, lambda kits: {name: _prepare(name, plan, kits)
                                               for name, plan in RUNS.items()})


class TrustCase(running.RunTest):
    suite = Suite

    def boxes(self, run):
        return [(b.caption, b.text) for b in run.result.boxes] if h.has_display() else None

    def assertNothingLeft(self, run):
        self.assertEqual(run.temp_entries(), [], "nothing of the run stays in TEMP")
        self.assertEqual(run.records(), [], "the installer never ran")


class DamagedKits(TrustCase):
    """A damaged kit says so in a box and in the log, and leaves nothing behind."""

    CASES = [
        ("member_truncated", "Trust kit", r"member F3 \('sub\\b.txt'\) cannot be unpacked: unexpected end of file"),
        ("member_crc", "Trust kit", r"member F2 \('a.txt'\) cannot be unpacked: incorrect data check"),
        ("member_length", "Trust kit", r"member F3 \('sub\\b.txt'\) cannot be unpacked: incorrect length check"),
        ("member_method", "Trust kit", r"member F2 \('a.txt'\) cannot be unpacked: unknown compression method"),
        ("control_crc", "trustkit", r"KIT.INFO cannot be unpacked: incorrect data check"),
        ("control_method", "trustkit", r"KIT.INFO cannot be unpacked: unknown compression method"),
    ]

    def test_every_damage_is_reported_and_cleaned_up(self):
        for name, caption, reason in self.CASES:
            with self.subTest(name):
                run = self.run_of(name)
                self.assertEqual(run.result.exit_code, 1, str(run.result))
                text = "Corruption in kit file: " + reason
                boxes = self.boxes(run)
                if boxes is not None:
                    self.assertEqual(len(boxes), 1, boxes)
                    self.assertEqual(boxes[0][0], caption)
                    self.assertRegex(boxes[0][1], "^%s$" % text)
                log = run.read_log()
                self.assertRegex(log, "\n%s\n" % text)
                self.assertNothingLeft(run)
                self.assertEqual(os.listdir(run.start), ["install.log"])


class HostileInput(TrustCase):
    def test_kit_arguments_cannot_inject_commands(self):
        for name, argument in (("injection", INJECTION), ("line_break", "one\ntwo")):
            with self.subTest(name):
                run = self.run_of(name)
                self.assertEqual(run.result.exit_code, 1, str(run.result))
                text = "Failure: unsafe kit argument '%s' (quote or line break)" % argument
                if h.has_display():
                    self.assertEqual(self.boxes(run), [("Command kit", text)])
                self.assertIn(text.replace("\n", " ") + "\n", run.read_log())
                self.assertNotIn("Created file", run.read_log(), "no member unpacked")
                self.assertNothingLeft(run)
                for root, _, files in os.walk(run.base):
                    self.assertNotIn("injected.txt", files, root)

    def test_a_program_started_directly_gets_such_arguments_whole(self):
        run = self.run_of("win_injection")
        self.assertEqual(run.result.exit_code, 0, str(run.result))
        self.assertEqual(self.the_record(run)["argv"][1:], [INJECTION, 'say "hi"'])

    def test_values_longer_than_a_kit_reads_are_never_used_cut(self):
        run = self.run_of("long_command")
        self.assertEqual(run.result.exit_code, 1, str(run.result))
        text = "Failure: WINCMDLINE of the kit is longer than 1023 characters and is not run"
        if h.has_display():
            self.assertEqual(self.boxes(run), [("Stored kit", text)])
        self.assertIn(text + "\n", run.read_log())
        self.assertNothingLeft(run)

        run = self.run_of("long_member")
        self.assertEqual(run.result.exit_code, 0, str(run.result))
        if h.has_display():
            self.assertEqual(self.boxes(run), [
                ("Stored kit", "Failure: kit file entry F2 is longer than 518 characters")])
        self.assertEqual(sorted(self.the_record(run)["file_sizes"]), ["c.txt", "testinstaller.exe"])
        self.assertEqual(run.temp_entries(), [])

    def test_a_link_planted_while_the_kit_unpacks_is_never_written_through(self):
        # The second member is large, so the test has time to replace the folder the first
        # member went into by a link to a folder outside; the third member goes below that
        # folder and must be refused. Wine shows a Unix symbolic link as a reparse point.
        base = h.temp_dir("trust-link")
        big = random.Random(7).randbytes(48 << 20)
        kit = running._pack("link", dict(
            info=["DESCRIPTION = Link kit"],
            files=[r"F1 = sub\first.txt , a.src", "F2 = big.bin , big.src , COMPRESS=0",
                   r"F3 = sub\second.txt , a.src"],
            sources={"a.src": b"a", "big.src": big}))
        outside = os.path.join(base, "outside")
        start, temp = os.path.join(base, "start"), os.path.join(base, "temp")
        for d in (outside, start, temp):
            os.makedirs(d)
        # Wine removes the empty folder a link points to when asked to remove the link.
        with open(os.path.join(outside, "keep.txt"), "wb") as f:
            f.write(b"keep")
        planted = []

        def plant():
            deadline = time.time() + 60
            while time.time() < deadline and not planted:
                for wd in os.listdir(temp):
                    sub = os.path.join(temp, wd, "sub")
                    if wd.startswith("emc_") and os.path.exists(os.path.join(sub, "first.txt")):
                        os.rename(sub, sub + ".moved")
                        os.symlink(outside, sub)
                        planted.append(sub)
                        return
                time.sleep(0.001)

        planter = threading.Thread(target=plant)
        planter.start()
        result = h.run(kit, [], cwd=start, env={"TEMP": h.winpath(temp), "TMP": h.winpath(temp)},
                       timeout=120)
        planter.join()
        self.assertTrue(planted, "the link was never planted")
        with open(os.path.join(start, "install.log"), encoding="cp1252") as f:
            log = f.read()
        self.assertIn("Created target file 'big.bin'", log)
        self.assertNotIn("Created target file 'sub\\second.txt'", log)
        self.assertEqual(result.exit_code, 0, str(result))
        if h.has_display():
            # Wine cannot remove a link as a link (it removes the folder it points to when that is
            # empty), so the clean-up reports the link and the working directory it leaves.
            self.assertEqual((result.boxes[0].caption, result.boxes[0].text),
                             ("Link kit", r"Failure: unsafe target name 'sub\second.txt' (link in path)"))
            self.assertLessEqual(
                {b.text for b in result.boxes[1:]},
                {"Failure: failed to remove directory '%s'" % h.winpath(planted[0]),
                 "Failure: could not delete temporary directory"})
        self.assertEqual(os.listdir(outside), ["keep.txt"], "nothing written through the link")


class Surroundings(TrustCase):
    def test_no_temporary_name_ends_at_once_with_status_32(self):
        run = self.run_of("no_temp_name")
        self.assertEqual(run.result.exit_code, 32, str(run.result))
        text = "\nFatal error: failed to locate temporary filename ''\n"
        if h.has_display():
            self.assertEqual(self.boxes(run), [("trustkit", text)])
        self.assertIn(text.strip() + "\n", run.read_log())
        self.assertNothingLeft(run)

    def test_a_temp_folder_outside_the_code_page(self):
        run = self.run_of("cyrillic_temp")
        self.assertEqual(run.result.exit_code, 5, str(run.result))
        self.assertEqual(self.boxes(run) or [], [])
        rec = self.the_record(run)
        self.assertRegex(rec["cwd"], r"\\%s\\emc_\d+$" % CYRILLIC)
        self.assertEqual(sorted(rec["file_sizes"]), ["a.txt", "sub", r"sub\b.txt", "testinstaller.exe"])
        self.assertEqual(run.temp_entries(), [])

    def test_the_install_log_moves_to_temp_when_its_folder_refuses_it(self):
        run = self.run_of("log_fallback")
        self.assertEqual(run.result.exit_code, 5, str(run.result))
        fallback = os.path.join(run.temp, "install.log")
        self.assertEqual(self.the_record(run)["install_logfile"], h.winpath(fallback))
        log = run.read_log(fallback)
        self.assertTrue(running.HEADER.match(log), log[:200])
        self.assertIn("Created target file 'a.txt'\n", log)
        self.assertEqual(run.temp_entries(), ["install.log"])

    def test_a_log_named_outside_the_code_page(self):
        run = self.run_of("log_any_name")
        self.assertEqual(run.result.exit_code, 5, str(run.result))
        path = os.path.join(run.start, LOG_NAME)
        self.assertEqual(self.the_record(run)["install_logfile"], h.winpath(path))
        self.assertIn("Created target file 'a.txt'\n", run.read_log(path))
        self.assertEqual(os.listdir(run.start), [LOG_NAME])

    def test_clean_up_removes_long_paths_and_any_names_the_installer_left(self):
        run = self.run_of("deep_leftovers")
        self.assertEqual(run.result.exit_code, 0, str(run.result))
        self.assertEqual(self.boxes(run) or [], [])
        self.assertIn("bottom.txt'\n", run.read_log())
        self.assertEqual(run.temp_entries(), [])


class Unattended(TrustCase):
    """STOWKIT_UNATTENDED=1: no box at all; the log says what a box would have said."""

    CASES = [
        ("quiet_unsafe", 0, [("Unsafe names kit", t) for t in running.UNSAFE_BOXES]),
        ("quiet_missing", 0, [("Missing member kit",
                               "Corruption in kit file: failed to locate kit file 'gone.txt'")]),
        ("quiet_readonly", 3, [("readonlykit", r"Failure: failed to delete file '%WD%\locked.txt'"),
                               ("readonlykit", "Failure: could not delete temporary directory")]),
        ("quiet_noprog", 255, [("installer-192 : ", r"Error in creating process '.\nosuch.exe /q' "
                                                    r"GetLastErrorRC=2 (%ERR%)")]),
    ]

    def test_boxes_become_log_lines_and_statuses_stay(self):
        for name, status, expected in self.CASES:
            with self.subTest(name):
                run = self.run_of(name)
                self.assertEqual(run.result.exit_code, status, str(run.result))
                self.assertEqual(run.result.boxes, [], "no dialog may appear")
                log = run.read_log()
                header = running.HEADER.match(log)
                self.assertTrue(header, log[:200])
                self.assertTrue(log[header.end():].startswith(
                    "-- Running unattended (STOWKIT_UNATTENDED=1)\n"), log[:300])
                lines = re.findall(r"^-- Unattended: \[(.*?)\] (.*)$", log, re.M)
                self.assertEqual(len(lines), len(expected), lines)
                for (caption, text), (want_caption, want_text) in zip(lines, expected):
                    self.assertEqual(caption, want_caption)
                    pattern = re.escape(want_text).replace(re.escape("%ERR%"), ".+")
                    pattern = pattern.replace(re.escape("%WD%"), r".*\\emc_\d+")
                    self.assertRegex(text, "^%s$" % pattern)


class PackRefusals(packing.PackCase):
    """What pack mode refuses to write, and the names it keeps whole."""

    def setUp(self):
        super().setUp()
        self.write("a.txt", b"payload")
        self.write("kit.ini", "[INFO]\r\nDESCRIPTION=Pack kit\r\nICON=i.ico\r\n[FILES]\r\nF1 = a.txt , a.txt\r\n")
        self.write("i.ico", packing.make_ico([40]))

    def refused(self, args, message, status=1, cwd=None):
        r = self.pack(*args, "-quiet", cwd=cwd)
        self.assertEqual(r.exit_code, status, packing.brief(r))
        self.assertEqual(r.stderr.replace(b"\r\n", b"\n").decode("cp1252"), message + "\n")

    def test_values_longer_than_a_kit_reads(self):
        dots = "\\." * 260  # a source path that names a.txt in 520 characters more
        cases = [
            ("COMMANDLINE = " + "c" * 1024, "", "\n-- COMMANDLINE is longer than the 1023 characters a kit reads"),
            ("WINCMDLINE = <W>", "", "\n-- WINCMDLINE is longer than the 1023 characters a kit reads"),
            ("", "F7 = t.txt , <D>%s\\a.txt\r\n" % dots,
             "\n-- [FILES] value of F7 is longer than the 518 characters a kit reads"),
        ]
        for info, files, message in cases:
            with self.subTest(message):
                self.write("long.ini", "[INFO]\r\n%s\r\n[FILES]\r\nF1 = a.txt , a.txt\r\n%s" % (info, files))
                self.refused(["-create:long.exe", "long.ini", "-define", "W=" + "w" * 1024,
                              "-define", "D=" + h.winpath(self.dir)], message)
                self.assertFalse(os.path.exists(self.path("long.exe")))
        # As long as a kit reads is fine.
        self.write("fits.ini", "[INFO]\r\nCOMMANDLINE = %s\r\n[FILES]\r\n" % ("c" * 1023))
        self.pack_ok("-create:fits.exe", "fits.ini")

    def test_the_output_is_never_one_of_the_inputs(self):
        os.link(self.path("a.txt"), self.path("hardlink.exe"))
        packer = self.path("packer.exe")
        shutil.copy(self.exe, packer)
        cases = [
            ("kit.ini", "kit.ini"),                                   # the steering file
            (h.winpath(self.path("A.TXT")), "a.txt"),                 # a member, spelled otherwise
            ("hardlink.exe", "a.txt"),                                # a member, through a hard link
            (".\\i.ico", "i.ico"),                                    # the icon
        ]
        for output, victim in cases:
            with self.subTest(output):
                with open(self.path(victim), "rb") as f:
                    before = f.read()
                self.refused(["-create:" + output, "kit.ini"],
                             "\n-- output file '%s' is also an input of this kit" % output)
                with open(self.path(victim), "rb") as f:
                    self.assertEqual(f.read(), before)
        r = h.run(packer, ["-create:packer.exe", "kit.ini", "-quiet"], cwd=self.dir)
        self.assertEqual(r.exit_code, 1, packing.brief(r))
        self.assertIn(b"is also an input of this kit", r.stderr)
        with open(packer, "rb") as f, open(self.exe, "rb") as g:
            self.assertEqual(f.read(), g.read())

    def test_a_utf16_steering_file_keeps_names_outside_the_code_page(self):
        steering = ("[INFO]\r\nDESCRIPTION = <T> kit\r\nWINCMDLINE = .\\testinstaller.exe\r\n"
                    "[FILES]\r\nF1 = %s , a.txt\r\nF2 = testinstaller.exe , testinstaller.exe\r\n"
                    % JAPANESE)
        self.write("u.ini", b"\xff\xfe" + steering.encode("utf-16-le"))
        shutil.copy(h.program("testinstaller"), self.path("testinstaller.exe"))
        self.pack_ok("-create:u.exe", "u.ini", "-define", "T=Caf\xe9")
        control = packing.gunzip_if_magic(packing.read_resources(self.path("u.exe"))[
            ("KIT_FILES", "KIT.INFO", packing.UK)])
        self.assertEqual(control.decode("utf-16"), steering.replace("<T>", "Caf\xe9"))
        start, temp = h.temp_dir("start"), h.temp_dir("temp")
        record = os.path.join(start, "record.jsonl")
        r = h.run(self.path("u.exe"), [], cwd=start, env={
            "TEMP": h.winpath(temp), "TMP": h.winpath(temp), "STOWKIT_TEST_RECORD": h.winpath(record)})
        self.assertEqual(r.exit_code, 0, packing.brief(r))
        self.assertIn(JAPANESE, h.read_records(record)[0]["file_sizes"])
        with open(os.path.join(start, "install.log"), "rb") as f:
            self.assertIn(b"Created target file '???.txt'", f.read())  # shown in the code page
        self.assertEqual(os.listdir(temp), [])

    def test_an_unattended_packer_never_shows_a_box(self):
        env = {"STOWKIT_UNATTENDED": "1"}
        r = h.run(self.exe, ["-create:k.exe", "missing.ini"], cwd=self.dir, env=env)
        self.assertEqual(r.exit_code, 1, packing.brief(r))
        self.assertEqual(r.boxes, [])
        self.assertIn(b"-- error reading steering file '.\\missing.ini'", r.stderr)
        r = h.run(self.exe, ["-create", "-help"], cwd=self.dir, env=env)
        self.assertEqual((r.exit_code, r.boxes), (0, []), packing.brief(r))
        self.assertTrue(r.stdout.startswith(b"usage:"), packing.brief(r))


if __name__ == "__main__":
    unittest.main()
