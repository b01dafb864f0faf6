"""Pack mode under Wine: how failures are reported (one box, or standard error with -quiet),
the exit statuses, and what is left on disk after each kind of failure."""

import gzip
import os
import re
import unittest

import harness as h
import test_pack as kits

MODULE = "stowkitwin"


def lines(stream):
    """Standard error as the program wrote it (the runtime's text mode adds CRs)."""
    return stream.replace(b"\r\n", b"\n").decode("cp1252")


class PackErrorCase(kits.PackCase):
    def setUp(self):
        super().setUp()
        with open(self.exe, "rb") as f:
            self.packer_bytes = f.read()
        self.write("a.txt", b"payload " * 100)
        self.write("good.ini", "[INFO]\r\nDESCRIPTION=Good Kit\r\n[FILES]\r\nF1 = a , a.txt\r\n")

    def reported(self, result, quiet):
        """The one report of a run: box (caption, text) without -quiet, else standard error."""
        if quiet:
            self.assertEqual(result.boxes, [], kits.brief(result))
            return None, lines(result.stderr)
        self.assertEqual(len(result.boxes), 1, kits.brief(result))
        self.assertEqual(result.stderr, b"")
        return result.boxes[0].caption, result.boxes[0].text

    def assert_plain_copy(self, name):
        with open(self.path(name), "rb") as f:
            self.assertTrue(f.read() == self.packer_bytes, "%s is not a plain copy of the packer" % name)


@h.needs_display
class ArgumentAndSteeringReportsTest(PackErrorCase):
    def test_argument_errors(self):
        cases = [
            (["-create"], "Missing output filename"),
            (["-create:k.exe"], "Insufficient arguments"),
            (["-create", "-quiet", "good.ini"], "Invalid switch: -quiet"),
            (["-create:k.exe", "good.ini", "other.ini"], "Invalid/unexpected argument: other.ini"),
            (["-create:k.exe", "good.ini", "-no"], "Invalid switch: -no"),
            (["-create:k.exe", "good.ini", "-define", "kitdir"], "Missing definition key"),
            (["-create:k.exe", "good.ini", "-define"], "Missing definition argument"),
            (["-create:k.exe", "good.ini", "-verinfo"], "Missing verfinfo argument"),
            (["-create:k.exe", "good.ini", "-verinfo", "=x"], "Missing verinfo key"),
            (["-create:k.exe", "good.ini", "-verinfo", "colour=red"],
             "invalid verinfo key 'colour'.  Use the -help option to get help."),
        ]
        for args, message in cases:
            for quiet in (False, True):
                with self.subTest(args=args, quiet=quiet):
                    # -quiet after an error is never reached, so it goes first.
                    full = args[:1] + (["-q"] if quiet and args != ["-create"] else []) + args[1:]
                    if quiet and args[:2] == ["-create", "-quiet"]:
                        continue
                    r = self.pack(*full)
                    self.assertEqual(r.exit_code, 1, kits.brief(r))
                    caption, text = self.reported(r, quiet and args != ["-create"])
                    self.assertEqual(text, message + "\n")
                    if caption is not None:
                        self.assertEqual(caption, MODULE)
                    self.assertFalse(os.path.exists(self.path("k.exe")))

    def test_help_wins_and_shows_usage_in_a_box(self):
        for args in (["-create:k.exe", "good.ini", "-help"], ["-create", "-bogus", "?"],
                     ["-create:k.exe", "-quiet", "/?"]):
            with self.subTest(args=args):
                r = self.pack(*args)
                self.assertEqual(r.exit_code, 0, kits.brief(r))
                self.assertEqual(len(r.boxes), 1, kits.brief(r))
                box = r.boxes[0]
                self.assertEqual(box.caption, "stowkitwin.exe")
                text = box.text.split("\n")
                self.assertEqual(len(text), 34)
                self.assertEqual(text[0], "usage:")
                self.assertEqual(text[1], "\tstowkitwin.exe  -create:<output_exe_file_name>  "
                                          "<kitfiles_desription_file> [... switches ...] ")
                self.assertEqual(text[-1], " ")
                self.assertFalse(os.path.exists(self.path("k.exe")))

    def test_every_bad_steering_line_in_one_report(self):
        self.write("bad.ini", "[INFO]\r\nDESCRIPTION = Broken Kit\r\n[FILES]\r\n"
                              "F1 = a.exe\r\nF2 = a , missing.txt\r\nF3 = a , a.txt , \r\nF5 =\r\n"
                              "# F9=comment\r\n")
        for quiet in (False, True):
            with self.subTest(quiet=quiet):
                r = self.pack("-create:k.exe", "bad.ini", *(["-quiet"] if quiet else []))
                self.assertEqual(r.exit_code, 1, kits.brief(r))
                caption, text = self.reported(r, quiet)
                if caption is not None:
                    self.assertEqual(caption, "Broken Kit")
                self.assertRegex(text, re.compile(
                    r"\A\n-- format error in steering file line \n 'a\.exe'"
                    r"\n-- file open error in installer input file 'missing\.txt' \n 0x00000002 :  [^\n]+"
                    r"\n-- bad option format for file 'F3' in installer input file 'a\.txt' "
                    r"\n-- internal Error : cannot find key 'F5' in your steering file!"
                    r"\n-- format error in steering file line \n 'comment'\n\Z"))
                self.assertFalse(os.path.exists(self.path("k.exe")))

    def test_translation_failures_end_at_once_with_nothing_written(self):
        self.write("circ.ini", "[INFO]\r\nDESCRIPTION=D\r\nCOMMANDLINE=<A>\r\n")
        self.write("oct.ini", "[INFO]\r\nDESCRIPTION=Octal Kit\r\n[FILES]\r\nF1 = a , kit\\0ld\\a.txt\r\n")
        circular = "\nCircular translation error - Dummy!!\n"
        octal = "\nToo many or malformed octal character constants in string - Dummy!!\n"
        cases = [
            (["circ.ini", "-define", "A=<A>x"], 64, circular, MODULE),
            (["circ.ini", "-define", "A=" + "<B>" * 101, "-define", "B=b"], 64, circular, MODULE),
            (["good.ini", "-verinfo", "copyright=\\0x"], 66, octal, MODULE),
            # The whole text is translated before DESCRIPTION is read.
            (["oct.ini"], 66, octal, MODULE),
        ]
        for args, status, message, caption in cases:
            for quiet in (False, True):
                with self.subTest(args=args, quiet=quiet):
                    r = self.pack("-create:k.exe", *(["-q"] if quiet else []), *args)
                    self.assertEqual(r.exit_code, status, kits.brief(r))
                    got_caption, text = self.reported(r, quiet)
                    self.assertEqual(text, message)
                    if got_caption is not None:
                        self.assertEqual(got_caption, caption)
                    self.assertFalse(os.path.exists(self.path("k.exe")))


@h.needs_display
class ResourcePhaseReportsTest(PackErrorCase):
    def test_failures_leave_a_plain_copy_of_the_packer(self):
        self.write("short.ico", kits.make_ico([40, 50])[:-1])
        self.write("outside.ico", kits.make_ico([40])[:18] + (10 ** 6).to_bytes(4, "little")
                   + kits.make_ico([40])[22:])
        cursor = bytearray(kits.make_ico([40]))
        cursor[2] = 2
        self.write("cursor.cur", bytes(cursor))
        os.makedirs(self.path("adir"))
        os.makedirs(self.path("bdir"))
        cases = [
            # (steering [INFO] and [FILES] lines, switches, expected report)
            ("ICON=short.ico\r\n", [], r"\n-- resource update error in icon file 'short\.ico' \n 0x0000000D : [^\n]+\n"),
            ("ICON=outside.ico\r\n", [], r"\n-- resource update error in icon file 'outside\.ico' \n 0x0000000D : [^\n]+\n"),
            ("ICON=cursor.cur\r\n", [], r"\n-- resource update error in icon file 'cursor\.cur' \n 0x0000000D : [^\n]+\n"),
            ("ICON=none.ico\r\n", [], r"\n-- resource update error in icon file 'none\.ico' \n 0x00000002 : [^\n]+\n"),
            ("", ["-verinfo", "version=1.70000.2"],
             r"\n-- version update error \n VERSION '1\.70000\.2': version numbers must lie in 0\.\.65535\n"),
            ("", ["-verinfo", "pversion=-1"],
             r"\n-- version update error \n PVERSION '-1': version numbers must lie in 0\.\.65535\n"),
            # As long as a command line allows: just past what a 16-bit length holds.
            ("", ["-verinfo", "comments=" + "x" * 32550],
             r"\n-- version update error \n the version information is too long [^\n]+65535 bytes\)\n"),
            ("[FILES]\r\nF2 = d , adir\r\n", [], r"\n--- open failure on 'adir' \n 0x[0-9A-F]{8} : [^\n]*\n"),
            ("[FILES]\r\nF2 = d , adir\r\n", ["-nocompress"],
             r"\n-- file open error in installer input file 'adir' \n 0x[0-9A-F]{8} : [^\n]*\n"),
            # Members go in byte-wise key order (F10 before F2), and the first failure ends it.
            ("[FILES]\r\nF2 = d , bdir\r\nF10 = d , adir\r\n", [],
             r"\n--- open failure on 'adir' \n 0x[0-9A-F]{8} : [^\n]*\n"),
        ]
        for n, (extra, switches, pattern) in enumerate(cases):
            for quiet in (False, True):
                with self.subTest(extra=extra, switches=switches[:2], quiet=quiet):
                    info, _, files = extra.partition("[FILES]\r\n")
                    self.write("r.ini", "[INFO]\r\nDESCRIPTION=Res Kit\r\n%s[FILES]\r\nF1 = a , a.txt\r\n%s"
                               % (info, files))
                    before = set(os.listdir(self.dir))
                    out = "r%d%s.exe" % (n, "q" if quiet else "")
                    r = self.pack("-create:" + out, "r.ini", *(["-q"] if quiet else []), *switches)
                    self.assertEqual(r.exit_code, 2, kits.brief(r))
                    caption, text = self.reported(r, quiet)
                    if caption is not None:
                        self.assertEqual(caption, "Res Kit")
                    self.assertRegex(text, re.compile(r"\A" + pattern + r"\Z"))
                    self.assert_plain_copy(out)
                    # Temporary files of the failing step are gone.
                    self.assertEqual(set(os.listdir(self.dir)), before | {out})

    def test_copy_failures_and_long_output_path(self):
        os.makedirs(self.path("taken"))
        image = re.escape(h.winpath(self.exe))
        cases = [
            ("taken", r"file copy failed '%s' --> 'taken' \n 0x00000005 : [^\n]+\n" % image),
            ("", r"file copy failed '%s' --> '' \n 0x[0-9A-F]{8} : [^\n]*\n" % image),
        ]
        for out, pattern in cases:
            with self.subTest(out=out):
                r = self.pack("-create:" + out, "good.ini", "-quiet")
                self.assertEqual(r.exit_code, 1, kits.brief(r))
                self.assertRegex(lines(r.stderr), re.compile(r"\A" + pattern + r"\Z"))
        self.assertEqual(os.listdir(self.path("taken")), [])
        # An output path beyond 260 characters is used whole.
        deep = self.path(*(["d" * 60] * 5))
        os.makedirs(deep)
        long_out = h.winpath(os.path.join(deep, "kit.exe"))
        self.assertGreater(len(long_out), 300)
        self.pack_ok("-create:" + long_out, "good.ini")
        self.assertEqual(os.listdir(deep), ["kit.exe"])
        res = kits.read_resources(os.path.join(deep, "kit.exe"))
        self.assertEqual(kits.gunzip_if_magic(res[("KIT_FILES", "F1", kits.UK)]), b"payload " * 100)

    def test_default_icon_file_not_created_builds_a_kit_without_icon(self):
        # No temporary name for the default icon (a temporary folder with no room left for the
        # name and its number, yet short enough for the system's own temporary files): the
        # message is shown (it is the one box of the run) and the kit is built without an
        # icon; nothing else needs a temporary file without compression. A tempfile.ico of
        # the user's in the current directory is never touched.
        long_temp = self.path("t" * (235 - len(h.winpath(self.dir)) - 1))
        os.makedirs(long_temp)
        self.write("tempfile.ico", b"the user's own")
        env = {"TMP": h.winpath(long_temp), "TEMP": h.winpath(long_temp)}
        for quiet in (False, True):
            with self.subTest(quiet=quiet):
                out = "noicon%s.exe" % ("q" if quiet else "")
                r = h.run(self.exe, ["-create:" + out, "good.ini", "-nocompress",
                                     *(["-quiet"] if quiet else [])], cwd=self.dir, env=env)
                self.assertEqual(r.exit_code, 0, kits.brief(r))
                caption, text = self.reported(r, quiet)
                self.assertEqual(text, "Error Opening Temporary Icon File for Writing")
                if caption is not None:
                    self.assertEqual(caption, "Good Kit")
                res = kits.read_resources(self.path(out))
                self.assertEqual({k[0] for k in res}, {"KIT_FILES", kits.RT_VERSION})
        with open(self.path("tempfile.ico"), "rb") as f:
            self.assertEqual(f.read(), b"the user's own")
        self.assertEqual(os.listdir(long_temp), [])

    def test_long_paths_of_steering_file_sources_and_icon(self):
        # Every file the kit is made from lies deeper than the 260-character path limit: the
        # steering file (named relative to the working directory), a compressed and a stored
        # member and the icon. The temporary files go to a folder of their own so that none
        # left behind goes unseen.
        rel = os.path.join(*(["e" * 60] * 5))
        deep = self.path(rel)
        os.makedirs(deep)
        os.makedirs(self.path("tmp"))
        wdeep = h.winpath(deep)
        ico = kits.make_ico([40, 50])
        self.write(os.path.join(deep, "a.txt"), b"long path payload\r\n" * 500)
        self.write(os.path.join(deep, "b.bin"), bytes(range(256)) * 3)
        self.write(os.path.join(deep, "i.ico"), ico)
        steering = ("[INFO]\r\nDESCRIPTION = Deep Kit\r\nICON = %s\\i.ico\r\n[FILES]\r\n"
                    "F1 = a.txt , %s\\a.txt\r\nF2 = b.bin , %s\\b.bin , COMPRESS=0\r\n"
                    % (rel.replace("/", "\\"), wdeep, wdeep))
        self.write(os.path.join(deep, "kit.ini"), steering)
        ini = rel.replace("/", "\\") + "\\kit.ini"
        for path in (ini, wdeep + "\\i.ico", wdeep + "\\a.txt"):
            self.assertGreater(len(path), 300)
        env = {"TMP": h.winpath(self.path("tmp")), "TEMP": h.winpath(self.path("tmp"))}
        r = h.run(self.exe, ["-create:k.exe", ini], cwd=self.dir, env=env)
        self.assertEqual(r.exit_code, 0, kits.brief(r))
        self.assertEqual(r.boxes, [], kits.brief(r))
        self.assertEqual(os.listdir(self.path("tmp")), [])
        self.assertEqual(sorted(os.listdir(deep)), ["a.txt", "b.bin", "i.ico", "kit.ini"])
        res = kits.read_resources(self.path("k.exe"))
        control = kits.gunzip_if_magic(res[("KIT_FILES", "KIT.INFO", kits.UK)])
        self.assertEqual(control, kits.utf16(steering))
        self.assertEqual(gzip.decompress(res[("KIT_FILES", "F1", kits.UK)]), b"long path payload\r\n" * 500)
        self.assertEqual(res[("KIT_FILES", "F2", kits.UK)], bytes(range(256)) * 3)
        self.assertEqual(len(res[(kits.RT_GROUP_ICON, 99, 0)]), 6 + 14 * 2)
        self.assertEqual(res[(kits.RT_ICON, 2, kits.UK)], bytes([2]) * 50)

        # Long paths that name nothing are reported whole, with the system's reason.
        missing = wdeep + "\\missing.txt"
        self.write("long.ini", "[FILES]\r\nF1 = a , %s\r\n" % missing)
        self.write(os.path.join(deep, "noicon.ini"), "[INFO]\r\nICON = %s\\none.ico\r\n" % wdeep)
        cases = [
            ("long.ini", 1, r"\n-- file open error in installer input file '%s' \n 0x00000002 :  [^\n]+\n"
             % re.escape(missing)),
            (ini[:-len("kit.ini")] + "none.ini", 1, r"\n-- error reading steering file '%s' \n 0x00000002 : [^\n]+\n"
             % re.escape(ini[:-len("kit.ini")] + "none.ini")),
            (wdeep + "\\noicon.ini", 2, r"\n-- resource update error in icon file '%s' \n 0x00000002 : [^\n]+\n"
             % re.escape(wdeep + "\\none.ico")),
        ]
        for steering_path, status, pattern in cases:
            with self.subTest(steering=steering_path[-20:]):
                r = self.pack("-create:m.exe", steering_path, "-quiet")
                self.assertEqual(r.exit_code, status, kits.brief(r))
                self.assertRegex(lines(r.stderr), re.compile(r"\A" + pattern + r"\Z"))
                if status == 1:
                    self.assertFalse(os.path.exists(self.path("m.exe")))
                else:
                    self.assert_plain_copy("m.exe")

if __name__ == "__main__":
    unittest.main()
