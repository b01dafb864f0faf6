"""The sample kit of examples/ end to end: packed by our packer, run as a user starts it, the
licence picked by secpick, the payload installed, the exit code and the clean-up checked."""

import glob
import os
import unittest

import harness

EXAMPLES = os.path.join(harness.source_dir(), "examples")
PAYLOAD = ["readme.txt", "larknotes.ini", os.path.join("docs", "quickstart.txt")]


def licence_section(name):
    """The body of [name] in the sample licence, as secpick writes it: code page 1252, CR LF."""
    with open(os.path.join(EXAMPLES, "licence.txt"), "rb") as f:
        lines = f.read().decode("cp1252").split("\r\n")
    start = lines.index("[%s]" % name) + 1
    end = next((i for i in range(start, len(lines)) if lines[i].startswith("[")), len(lines))
    body = lines[start:end]
    if body and body[-1] == "":  # the file's final line break
        body.pop()
    return "".join(line + "\r\n" for line in body).encode("cp1252")


def pack(kit, tools_dir, cwd):
    secpick_dir = harness.winpath(tools_dir)
    result = harness.run(harness.program("stowkitwin"), [
        "-create:" + harness.winpath(kit), harness.winpath(os.path.join(EXAMPLES, "sample-kit.ini")),
        "-define", "SRC=" + harness.winpath(EXAMPLES), "-define", "TOOLS=" + secpick_dir,
        "-verinfo", "version=1.0.0", "-quiet"], cwd=cwd, timeout=120)
    return result


class SampleKitTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = harness.temp_dir("sample")
        cls.kit = os.path.join(cls.dir, "lark-notes-kit.exe")
        secpick_dir = os.path.dirname(harness.program("secpick"))
        result = pack(cls.kit, secpick_dir, cls.dir)
        if result.exit_code != 0 or not os.path.isfile(cls.kit):
            raise AssertionError("packing the sample failed: %s" % result)

    def run_kit(self, *args):
        """Runs the kit from a fresh start directory with private TEMP and TMP folders."""
        start = harness.temp_dir("start")
        temp = harness.temp_dir("temp")
        env = {"TEMP": harness.winpath(temp), "TMP": harness.winpath(temp)}
        result = harness.run(self.kit, list(args), cwd=start, env=env, timeout=120)
        self.assertFalse(result.timed_out, str(result))
        self.assertEqual(result.boxes, [], "a good run shows no message box")
        log_path = os.path.join(start, "install.log")
        log = ""
        if os.path.exists(log_path):
            with open(log_path, "rb") as f:
                log = f.read().decode("cp1252")  # written in text mode: CR LF
        self.assertEqual(os.listdir(temp), [], "the working directory and temporary files are gone")
        return result, log

    def test_language_section_and_payload_installed(self):
        for language, section in [("French", "French"), ("german", "German"), ("Klingon", "Default")]:
            with self.subTest(language=language):
                target = os.path.join(harness.temp_dir("target"), "Lark Notes")
                result, log = self.run_kit(language, harness.winpath(target))
                self.assertEqual(result.exit_code, 0, str(result) + "\n" + log)
                with open(os.path.join(target, "LICENCE.txt"), "rb") as f:
                    self.assertEqual(f.read(), licence_section(section))
                with open(os.path.join(target, "LICENCE-8bit.txt"), "rb") as f:
                    self.assertEqual(f.read(), licence_section(section))
                for name in PAYLOAD:
                    with open(os.path.join(target, name), "rb") as got, \
                            open(os.path.join(EXAMPLES, "payload", name), "rb") as want:
                        self.assertEqual(got.read(), want.read(), name)
                self.assertIn("+++ New Installation Started at ", log)
                self.assertIn("Created target file 'payload\\docs\\quickstart.txt'\r\n", log)
                self.assertIn("setup: language %s, target %s\r\n" % (language, harness.winpath(target)), log)
                self.assertIn("setup: done\r\n", log)
                self.assertIn("-- Deleting directory tree '", log)

    def test_installer_exit_code_is_the_kits(self):
        result, log = self.run_kit("French")
        self.assertEqual(result.exit_code, 2, str(result) + "\n" + log)
        self.assertIn("setup: usage: KIT LANGUAGE TARGET-DIRECTORY\r\n", log)
        self.assertNotIn("setup: done", log)


if __name__ == "__main__":
    unittest.main()
