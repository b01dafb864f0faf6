"""secpick.exe under Wine: exit codes as the process reports them, files it writes and leaves."""

import os
import unittest

import harness

LICENCE = b"[English]\r\none\r\ntwo\r\n[French]\r\ndeux\r\n"

NOT_FOUND = 0xFFFFFFFF
FILE_FAILURE = 0xFFFFFFFE
TOO_FEW_ARGUMENTS = 0xFFFFFFFD


def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


class SecpickTest(unittest.TestCase):
    def setUp(self):
        self.exe = harness.program("secpick")
        self.dir = harness.temp_dir("secpick")

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def secpick(self, *args):
        result = harness.run(self.exe, list(args), cwd=self.dir)
        self.assertFalse(result.timed_out, str(result))
        self.assertEqual(result.boxes, [], "secpick never shows a window")
        return result

    def test_exit_codes_and_output_file(self):
        self.write("in.txt", LICENCE)
        cases = [
            # arguments, exit code, output expected
            (["French", "in.txt", "out.txt"], 1, b"deux\r\n"),
            (["-q", "english", "in.txt", "out.txt"], 2, b"one\r\ntwo\r\n"),
            (["German", "in.txt", "out.txt"], NOT_FOUND, None),
            (["German", "in.txt", "out.txt", "French"], 1, b"deux\r\n"),
            (["German", "in.txt", "out.txt", ""], NOT_FOUND, None),
            (["German", "absent.txt", "out.txt"], FILE_FAILURE, None),
            (["English", "in.txt", "no-such-dir\\out.txt"], FILE_FAILURE, None),
            (["English", "in.txt"], TOO_FEW_ARGUMENTS, None),
            (["-a", "-b", "English", "in.txt", "out.txt"], TOO_FEW_ARGUMENTS, None),
            ([], TOO_FEW_ARGUMENTS, None),
        ]
        for args, code, output in cases:
            with self.subTest(args=args):
                if os.path.exists(self.path("out.txt")):
                    os.remove(self.path("out.txt"))
                result = self.secpick(*args)
                self.assertEqual(result.exit_code, code, str(result))
                if output is None:
                    self.assertFalse(os.path.exists(self.path("out.txt")))
                else:
                    self.assertEqual(self.read("out.txt"), output)

    def test_utf16_input_becomes_ansi_text(self):
        # Code page 1252 under this Wine set-up: e-acute survives, a CJK character becomes "?".
        self.write("in.txt", utf16("[Default]\r\ncaf\u00e9 \u4e2d\r\n\r\n  indented\r\n[Next]\r\nx\r\n"))
        result = self.secpick("German", "in.txt", "out.txt")
        self.assertEqual(result.exit_code, 3)
        self.assertEqual(self.read("out.txt"), b"caf\xe9 ?\r\n\r\n  indented\r\n")

    def test_non_ascii_paths(self):
        self.write("licence-\u00e9\u4e2d.txt", LICENCE)
        result = self.secpick("french", "licence-\u00e9\u4e2d.txt", "sortie-\u00e9\u4e2d.txt")
        self.assertEqual(result.exit_code, 1)
        self.assertEqual(self.read("sortie-\u00e9\u4e2d.txt"), b"deux\r\n")

    def test_existing_output_left_alone_when_nothing_found(self):
        self.write("in.txt", LICENCE)
        self.write("out.txt", b"kept")
        result = self.secpick("German", "in.txt", "out.txt", "")
        self.assertEqual(result.exit_code, NOT_FOUND)
        self.assertEqual(self.read("out.txt"), b"kept")


if __name__ == "__main__":
    unittest.main()
