"""stowkit, the native packer: its kits against those of stowkitwin -create (resources equal after
decompression; with SOURCE_DATE_EPOCH and the same output name, version block, icon group and
control file byte for byte), the same bytes for any -jobs, its refusals, and its kits run under
Wine on both stubs, read by pefile without warnings, signed and verified with osslsigncode. Also
the certificate table that a signed stowkitwin leaves out of the kits it packs."""

import gzip
import os
import random
import shutil
import subprocess
import unittest

import harness as h
from test_pack import (RT_GROUP_ICON, RT_VERSION, STEERING, UK, brief, gunzip_if_magic, make_ico,
                       read_resources, utf16)

EPOCH = "1700000000"  # 2023-11-14
# Tests that cover both architectures themselves run in the x86_64 pass of the end-to-end tests only.
ONCE = unittest.skipUnless(os.environ.get("STOWKIT_E2E_ARCH", "x86_64") == "x86_64",
                           "covers both architectures in the x86_64 pass")


def native_tree():
    return os.environ.get("STOWKIT_NATIVE_DIR") or os.path.join(os.path.dirname(h.build_dir()), "native")


def stowkit():
    path = os.path.join(native_tree(), "buildtools", "stowkit", "stowkit")
    if not os.path.isfile(path):
        raise unittest.SkipTest("the native stowkit is not built (scripts/build.sh native)")
    return path


def run_stowkit(args, cwd, epoch=EPOCH):
    env = dict(os.environ, LC_ALL="C.UTF-8")
    env.pop("SOURCE_DATE_EPOCH", None)
    if epoch is not None:
        env["SOURCE_DATE_EPOCH"] = epoch
    return subprocess.run([stowkit()] + args, cwd=cwd, env=env, capture_output=True, timeout=300)


def pefile_warnings(path):
    import pefile
    pe = pefile.PE(path)
    warnings = pe.get_warnings()
    checksum_ok = pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum()
    pe.close()
    return warnings, checksum_ok


def signing_key(work):
    key, cert = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=stowkit test"], check=True, capture_output=True)
    return key, cert


def sign(path, signed, key, cert):
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", path, "-out", signed],
                   check=True, capture_output=True)


def verifies(path, cert):
    r = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path], capture_output=True)
    return r.returncode == 0


def has_wine32():
    return any(os.path.exists(p) for p in ("/usr/lib/wine/wine", "/usr/lib/i386-linux-gnu/wine"))


class SameKitsTest(unittest.TestCase):
    """A table of steering files packed by both packers in one directory, outputs w\\kit.exe and
    n/kit.exe, so that both version blocks name kit.exe."""

    @classmethod
    def setUpClass(cls):
        cls.packer = h.program("stowkitwin")
        cls.dir = h.temp_dir("native")
        rnd = random.Random(3)
        files = {
            "src/text.txt": b"hello kit\r\n" * 50,
            "src/random.bin": bytes(rnd.getrandbits(8) for _ in range(70000)),
            "src/already.gz": gzip.compress(b"inner text " * 300, mtime=0),
            "src/empty.txt": b"",
            "src/big.txt": "".join("line %d of some text\n" % i for i in range(20000)).encode(),
            "three.ico": make_ico([40, 50, 60]),
        }
        for n in range(1, 1001):
            files["many/m%d.txt" % n] = ("member %d " % n).encode() * (n % 7)
        for name, data in files.items():
            path = os.path.join(cls.dir, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        many = ["[INFO]", "DESCRIPTION=Caf\u00e9 \u20ac", "[FILES]"] + [
            "F%d = m%d.txt , many\\m%d.txt" % (n, n, n) for n in range(1, 1001)]
        cls.steering = {
            "keywords.ini": STEERING.encode("cp1252"),
            "icon.ini": b"[INFO]\r\nICON = three.ico\r\nCOMPRESSTHIS=0\r\n[FILES]\r\nF1 = t , src/text.txt\r\n",
            "many.ini": utf16("\r\n".join(many) + "\r\n"),
            "keys.ini": b"[INFO]\r\n[FILES]\r\nf1 = a , src\\text.txt\r\nF1 = b , src\\big.txt\r\nx_1 = c , src\\empty.txt\r\n",
        }
        for name, data in cls.steering.items():
            with open(os.path.join(cls.dir, name), "wb") as f:
                f.write(data)
        os.makedirs(os.path.join(cls.dir, "w"))
        os.makedirs(os.path.join(cls.dir, "n"))

    ARGS = ["-define", "KITDIR=src", "-define:ver=2.5", "-verinfo", "version=9.24.109", "-v", "pversion=9.24",
            "-verinfo:Company=Acme", "-verinfo=application=Acme Setup", "-verinfo", "comments=",
            "-verinfo", "copyright=\\0251 Acme", "-verinfo", "iname=in", "-verinfo", "pname=pn",
            "-verinfo", "private=pr", "-verinfo", "special=sp", "-verinfo", "trademarks=tm"]

    def pack_both(self, steering, *args, tag):
        win = os.path.join(self.dir, "w", tag, "kit.exe")
        nat = os.path.join(self.dir, "n", tag, "kit.exe")
        os.makedirs(os.path.dirname(win))
        os.makedirs(os.path.dirname(nat))
        r = h.run(self.packer, ["-create:w\\%s\\kit.exe" % tag, steering, "-quiet"] + list(args),
                  cwd=self.dir, env={"SOURCE_DATE_EPOCH": EPOCH}, timeout=300)
        self.assertEqual(r.exit_code, 0, brief(r))
        n = run_stowkit(["-create:n/%s/kit.exe" % tag, steering, "-stub:" + self.packer] + list(args), self.dir)
        self.assertEqual(n.returncode, 0, n.stderr.decode("cp1252"))
        self.assertEqual(n.stdout + n.stderr, b"")
        return win, nat

    def test_resources_equal_and_fixed_parts_byte_for_byte(self):
        cases = [("keywords.ini", self.ARGS), ("icon.ini", ["-nocompress"]), ("many.ini", []), ("keys.ini", [])]
        for n, (steering, args) in enumerate(cases):
            with self.subTest(steering=steering):
                win, nat = self.pack_both(steering, *args, tag=str(n))
                want, got = read_resources(win), read_resources(nat)
                self.assertEqual(set(got), set(want))
                for key in want:
                    self.assertEqual(gunzip_if_magic(got[key]), gunzip_if_magic(want[key]), key)
                for key in [("KIT_FILES", "KIT.INFO", UK), (RT_VERSION, 1, UK), (RT_GROUP_ICON, 99, 0)]:
                    self.assertEqual(got[key], want[key], key)
                self.assertEqual(pefile_warnings(nat), ([], True))

    def test_same_bytes_for_any_jobs_and_run(self):
        outputs = []
        for jobs in ("1", "3", "1"):
            out = os.path.join("n", "jobs%d" % len(outputs), "kit.exe")
            os.makedirs(os.path.join(self.dir, os.path.dirname(out)))
            r = run_stowkit(["-create:" + out, "keywords.ini", "-stub:" + self.packer, "-jobs:" + jobs] + self.ARGS,
                            self.dir)
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(os.path.join(self.dir, out), "rb") as f:
                outputs.append(f.read())
        self.assertEqual(outputs[0], outputs[1])
        self.assertEqual(outputs[0], outputs[2])

    def test_windows_console_build_writes_the_same_kit(self):
        exe = os.path.join(h.build_dir(), "buildtools", "stowkit", "stowkit.exe")
        deep = os.path.join("c", "x" * 150, "y" * 150)  # beyond the system's 260 characters
        for sub in (deep, "d"):
            os.makedirs(os.path.join(self.dir, sub))
        out = deep.replace("/", "\\") + "\\kit.exe"
        r = h.run(exe, ["-create:" + out, "keywords.ini", "-stub:" + h.winpath(self.packer), "-jobs:2"] + self.ARGS,
                  cwd=self.dir, env={"SOURCE_DATE_EPOCH": EPOCH}, timeout=300)
        self.assertEqual((r.exit_code, r.stdout, r.stderr, r.boxes), (0, b"", b"", []), brief(r))
        n = run_stowkit(["-create:d/kit.exe", "keywords.ini", "-stub:" + self.packer] + self.ARGS, self.dir)
        self.assertEqual(n.returncode, 0, n.stderr)
        self.assertEqual(os.listdir(os.path.join(self.dir, deep)), ["kit.exe"])
        with open(os.path.join(self.dir, deep, "kit.exe"), "rb") as a, open(os.path.join(self.dir, "d", "kit.exe"), "rb") as b:
            self.assertEqual(a.read(), b.read())

    @ONCE
    def test_installed_layout_and_default_stub(self):
        if not h.i686_dir():
            self.skipTest("needs the i686 build")
        prefix = h.temp_dir("install")
        r = subprocess.run(["cmake", "--install", native_tree(), "--prefix", prefix], capture_output=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        found = sorted(os.path.relpath(os.path.join(d, f), prefix) for d, _, fs in os.walk(prefix) for f in fs)
        self.assertEqual(found, ["bin/stowkit"] + ["share/stowkit/%s/%s" % (a, p) for a in ("i686", "x86_64")
                                                  for p in ("secpick.exe", "stowkitwin.exe")])
        env = dict(os.environ, SOURCE_DATE_EPOCH=EPOCH)
        r = subprocess.run([os.path.join(prefix, "bin", "stowkit"), "-create:n/default.exe", "keys.ini"], cwd=self.dir,
                           env=env, capture_output=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        import pefile
        pe = pefile.PE(os.path.join(self.dir, "n", "default.exe"), fast_load=True)
        self.assertEqual(pe.FILE_HEADER.Machine, 0x14C)
        pe.close()

    def test_refusals(self):
        cases = [
            # (arguments, status, start of the standard error text)
            (["-create:keys.ini", "keys.ini"], 1, b"\n-- output file 'keys.ini' is also an input of this kit\n"),
            (["-create:src/text.txt", "keys.ini"], 1, b"\n-- output file 'src/text.txt' is also an input of this kit"),
            (["-create:n/x.exe", "keys.ini", "-stub:keys.ini"], 1, b"\n-- stub 'keys.ini' cannot be used: "),
            (["-create:n/x.exe", "keys.ini", "-jobs:0"], 1, b"Invalid jobs count '0' (1 to 256)\n"),
            (["-create:n/x.exe", "keys.ini", "-codepage:999"], 1, b"Unknown code page 999"),
            (["keys.ini"], 1, b"-create:OUTPUT must be the first argument\n"),
            (["-create:n/x.exe", "keys.ini", "-quiet", "-windows", "-help"], 0, b""),
        ]
        with open(os.path.join(self.dir, "keys.ini"), "rb") as f:
            steering = f.read()
        for args, status, text in cases:
            with self.subTest(args=args):
                extra = [] if any(a.startswith("-stub") for a in args) else ["-stub:" + self.packer]
                r = run_stowkit(args + extra, self.dir)
                self.assertEqual(r.returncode, status, r.stderr)
                self.assertTrue(r.stderr.startswith(text), r.stderr)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "n", "x.exe")))
        with open(os.path.join(self.dir, "keys.ini"), "rb") as f:
            self.assertEqual(f.read(), steering)
        self.assertIn(b"usage:", run_stowkit(["-create:x", "-?"], self.dir).stdout)
        if h.i686_dir():
            # A stored member of 1000 MB passes the 960 MB an i686 kit may have; nothing is left.
            with open(os.path.join(self.dir, "huge.bin"), "wb") as f:
                f.truncate(1000 << 20)
            with open(os.path.join(self.dir, "huge.ini"), "wb") as f:
                f.write(b"[INFO]\r\nCOMPRESSFILES=0\r\n[FILES]\r\nBIG = b , huge.bin\r\n")
            r = run_stowkit(["-create:n/x.exe", "huge.ini", "-stub:" + h.program("stowkitwin", h.i686_dir())], self.dir)
            self.assertEqual((r.returncode, r.stderr),
                             (2, b"\n-- kit too large: with 'huge.bin' the kit passes 960 MB, the largest i686 kit "
                                 b"that starts\n"))
            self.assertEqual([d for d in os.listdir(os.path.join(self.dir, "n")) if d.startswith("x.exe")], [])
            os.remove(os.path.join(self.dir, "huge.bin"))
        # A SOURCE_DATE_EPOCH that is not a number of seconds ends both packers in the resource phase.
        reason = b"SOURCE_DATE_EPOCH '12e3' is not a number of seconds since 1970 (up to the year 9999)"
        r = run_stowkit(["-create:n/x.exe", "keys.ini", "-stub:" + self.packer], self.dir, epoch="12e3")
        self.assertEqual((r.returncode, r.stderr), (2, b"\n-- version update error \n " + reason + b"\n"))
        r = h.run(self.packer, ["-create:w\\x.exe", "keys.ini", "-quiet"], cwd=self.dir, env={"SOURCE_DATE_EPOCH": "12e3"})
        self.assertEqual((r.exit_code, r.stderr), (2, b"\r\n-- version update error \r\n " + reason + b"\r\n"))
        # stowkitwin keeps answering the native switches as invalid.
        r = h.run(self.packer, ["-create:w\\x.exe", "keys.ini", "-quiet", "-stub:x.exe"], cwd=self.dir)
        self.assertEqual((r.exit_code, r.stderr), (1, b"Invalid switch: -stub:x.exe\r\n"))


class NativeKitsRunTest(unittest.TestCase):
    """The sample kit packed by stowkit on each stub, run as a user starts it; signed and run again."""

    def pack_sample(self, tree, kit, work):
        examples = os.path.join(h.source_dir(), "examples")
        r = run_stowkit(["-create:" + kit, os.path.join(examples, "sample-kit.ini"),
                         "-stub:" + h.program("stowkitwin", tree), "-define", "SRC=" + examples,
                         "-define", "TOOLS=" + os.path.dirname(h.program("secpick", tree)),
                         "-verinfo", "version=1.0.0"], work, epoch=None)
        self.assertEqual(r.returncode, 0, r.stderr)

    def run_kit(self, kit):
        target = os.path.join(h.temp_dir("target"), "Lark Notes")
        temp = h.temp_dir("temp")
        r = h.run(kit, ["German", h.winpath(target)], env={"TEMP": h.winpath(temp), "TMP": h.winpath(temp)},
                  timeout=120)
        self.assertEqual(r.exit_code, 0, brief(r))
        self.assertEqual(r.boxes, [])
        with open(os.path.join(target, "readme.txt"), "rb") as got, open(os.path.join(h.source_dir(), "examples", "payload", "readme.txt"), "rb") as want:
            self.assertEqual(got.read(), want.read())
        self.assertEqual(os.listdir(temp), [])

    @ONCE
    def test_sample_kit_on_both_stubs_signed_and_unsigned(self):
        work = h.temp_dir("native-run")
        key, cert = signing_key(work)
        trees = [("x86_64", h.build_dir(), True)]
        if h.i686_dir():
            trees.append(("i686", h.i686_dir(), has_wine32()))
        for arch, tree, runnable in trees:
            with self.subTest(arch=arch):
                kit = os.path.join(work, "kit-%s.exe" % arch)
                self.pack_sample(tree, kit, work)
                self.assertEqual(pefile_warnings(kit), ([], True))
                signed = os.path.join(work, "kit-%s-signed.exe" % arch)
                sign(kit, signed, key, cert)
                self.assertTrue(verifies(signed, cert))
                self.assertFalse(verifies(kit, cert))
                if runnable:
                    self.run_kit(kit)
                    self.run_kit(signed)

    def test_packed_kits_are_unsigned_with_a_true_checksum(self):
        work = h.temp_dir("signed-packer")
        key, cert = signing_key(work)
        packer = os.path.join(work, "stowkitwin.exe")
        sign(h.program("stowkitwin"), packer, key, cert)
        self.assertTrue(verifies(packer, cert))
        with open(os.path.join(work, "kit.ini"), "wb") as f:
            f.write(b"[INFO]\r\n[FILES]\r\nF1 = a.txt , kit.ini\r\n")
        r = h.run(packer, ["-create:kit.exe", "kit.ini", "-quiet"], cwd=work)
        self.assertEqual(r.exit_code, 0, brief(r))
        kit = os.path.join(work, "kit.exe")
        import pefile
        pe = pefile.PE(kit)
        security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[4]
        self.assertEqual((security.VirtualAddress, security.Size), (0, 0))
        self.assertEqual(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum())
        pe.close()
        self.assertFalse(verifies(kit, cert))
        signed = os.path.join(work, "kit-signed.exe")
        sign(kit, signed, key, cert)
        self.assertTrue(verifies(signed, cert))
        r = h.run(signed, [], cwd=work, timeout=120)
        self.assertEqual(r.exit_code, 0, brief(r))
        # The resource update keeps the packer's header checksum: a plain packer's kit gets a true one too.
        r = h.run(h.program("stowkitwin"), ["-create:plain.exe", "kit.ini", "-quiet"], cwd=work)
        self.assertEqual(r.exit_code, 0, brief(r))
        self.assertEqual(pefile_warnings(os.path.join(work, "plain.exe")), ([], True))


if __name__ == "__main__":
    unittest.main()
