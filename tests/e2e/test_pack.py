"""Pack mode under Wine: the kits stowkitwin writes, read back with an independent reader.

Resources are read with pefile (Debian's python3-pefile, run by /usr/bin/python3), member data
is decompressed with Python's gzip module, and the version resource is also read through the
Windows API with verinfo.exe. Also used by test_pack_errors.py for its helpers.
"""

import gzip
import hashlib
import json
import os
import random
import struct
import unittest

import harness as h

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16
UK = 2057


def _pefile():
    try:
        import pefile
    except ImportError:
        raise unittest.SkipTest("pefile is missing: install python3-pefile and use /usr/bin/python3")
    return pefile


def read_resources(path):
    """{(type, name, language): bytes}; type and name are ints or upper-case strings."""
    pefile = _pefile()
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    found = {}
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for rtype in root.entries if root else []:
        tname = rtype.id if rtype.name is None else str(rtype.name)
        for entry in rtype.directory.entries:
            name = entry.id if entry.name is None else str(entry.name)
            for lang in entry.directory.entries:
                d = lang.data.struct
                found[(tname, name, lang.id)] = pe.get_data(d.OffsetToData, d.Size)
    pe.close()
    return found


def gunzip_if_magic(data):
    """What every runner gets: gzip data decompressed, anything else as it is."""
    return gzip.decompress(data) if data[:2] == b"\x1f\x8b" else data


def brief(result, limit=3000):
    """A run's description for a failure message, its output cut to a readable length."""
    text = str(result)
    return text if len(text) <= limit else text[:limit] + "... (%d characters more)" % (len(text) - limit)


def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


def make_ico(sizes):
    """An .ico file whose n-th image (n from 1) is `size` bytes of the value n."""
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, size in enumerate(sizes):
        side = 16 * (n + 1)
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, size, offset)
        offset += size
    for n, size in enumerate(sizes):
        out += bytes([n + 1]) * size
    return out


def group_entries(directory):
    """[(12 entry bytes, nID)] of a group-icon directory."""
    count = struct.unpack_from("<H", directory, 4)[0]
    return [(directory[6 + 14 * i:6 + 14 * i + 12], struct.unpack_from("<H", directory, 6 + 14 * i + 12)[0])
            for i in range(count)]


class PackCase(unittest.TestCase):
    """A scratch directory and a way to pack in it."""

    def setUp(self):
        self.exe = h.program("stowkitwin")
        self.dir = h.temp_dir("pack")

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def write(self, name, data):
        p = self.path(name)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data.encode("cp1252") if isinstance(data, str) else data)
        return p

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def pack(self, *args, cwd=None, timeout=120):
        result = h.run(self.exe, list(args), cwd=cwd or self.dir, timeout=timeout)
        self.assertFalse(result.timed_out, brief(result))
        return result

    def pack_ok(self, *args, **kw):
        result = self.pack(*args, **kw)
        self.assertEqual(result.exit_code, 0, brief(result))
        self.assertEqual(result.boxes, [], brief(result))
        return result

    def assert_no_temporary_files(self, before):
        self.assertEqual(sorted(os.listdir(self.dir)), sorted(before))


STEERING = (
    "[INFO]\r\n"
    "DESCRIPTION = Widget <VER> setup\r\n"
    "# a comment line stays\r\n"
    "COMMANDLINE = setup.cmd <KITDIR> [ARGS] <ARGS>\r\n"
    "WINCMDLINE = x\\0101y\\0251\r\n"
    "[FILES]\r\n"
    "F1 = text.txt , <KITDIR>\\text.txt\r\n"
    "F2 = data\\random.bin , [KITDIR]\\random.bin , COMPRESS = 0\r\n"
    "F3 = already.gz , src\\already.gz , compress=0\r\n"
    "F10 = empty.txt , src\\empty.txt , compress=0 , LEVEL=9\r\n"
    "F4 = big.txt , src\\big.txt\r\n"
)


class KitContentsTest(PackCase):
    def setUp(self):
        super().setUp()
        rnd = random.Random(5)
        self.sources = {
            "F1": b"hello kit\r\n" * 50,
            "F2": bytes(rnd.getrandbits(8) for _ in range(70000)),
            "F3": gzip.compress(b"inner text " * 300, mtime=0),
            "F10": b"",
            "F4": ("".join("line %d of some text\n" % i for i in range(20000))).encode(),
        }
        names = {"F1": "text.txt", "F2": "random.bin", "F3": "already.gz", "F10": "empty.txt",
                 "F4": "big.txt"}
        for key, data in self.sources.items():
            self.write(os.path.join("src", names[key]), data)
        self.write("kit.ini", STEERING)

    def test_kit_resources_control_file_and_members(self):
        before = os.listdir(self.dir)
        os.makedirs(self.path("out"))
        self.pack_ok("-create:out\\kit.exe", "kit.ini", "-define", "KITDIR=src",
                     "-define:ver=2.5", "-verinfo", "version=2.5.1")
        self.assert_no_temporary_files(before + ["out"])
        res = read_resources(self.path("out", "kit.exe"))
        packer = read_resources(self.exe)
        packer_group = [k for k in packer if k[0] == RT_GROUP_ICON and k[1] == "DEFAULT_ICON"]
        self.assertEqual(len(packer_group), 1)
        packer_entries = group_entries(packer[packer_group[0]])
        self.assertGreaterEqual(len(packer_entries), 3)

        expected_keys = {("KIT_FILES", k, UK) for k in ["KIT.INFO", "F1", "F2", "F3", "F4", "F10"]}
        expected_keys |= {(RT_ICON, n, UK) for n in range(1, len(packer_entries) + 1)}
        expected_keys |= {(RT_GROUP_ICON, 99, 0), (RT_VERSION, 1, UK)}
        self.assertEqual(set(res), expected_keys)

        # Control file: gzip of FF FE + UTF-16 LE, keywords and octal constants translated,
        # markers without a definition kept, no terminator.
        info = res[("KIT_FILES", "KIT.INFO", UK)]
        self.assertEqual(info[:2], b"\x1f\x8b")
        text = gzip.decompress(info)
        expected = STEERING.replace("<VER>", "2.5").replace("<KITDIR>", "src").replace(
            "[KITDIR]", "src").replace("\\0101", "A").replace("\\0251", "\u00a9")
        self.assertEqual(text, utf16(expected))

        # Members: compressed ones are plain gzip of the source; stored ones are raw, except a
        # file that itself starts with the gzip magic and an empty file, which are wrapped.
        for key, source in self.sources.items():
            data = res[("KIT_FILES", key, UK)]
            self.assertEqual(gunzip_if_magic(data), source, key)
        self.assertEqual(res[("KIT_FILES", "F2", UK)], self.sources["F2"])
        self.assertEqual(gzip.decompress(res[("KIT_FILES", "F3", UK)]), self.sources["F3"])
        for key in ("F1", "F4"):
            self.assertEqual(res[("KIT_FILES", key, UK)][:3], b"\x1f\x8b\x08")
        self.assertLess(len(res[("KIT_FILES", "F4", UK)]), len(self.sources["F4"]) // 3)

        # The default icon: the packer's images renumbered 1..n, group 99 pointing at them.
        directory = res[(RT_GROUP_ICON, 99, 0)]
        self.assertEqual(len(directory), 6 + 14 * len(packer_entries))
        self.assertEqual(directory[:6], packer[packer_group[0]][:6])
        for n, ((entry, nid), (packer_entry, packer_id)) in enumerate(
                zip(group_entries(directory), packer_entries), start=1):
            self.assertEqual(nid, n)
            self.assertEqual(entry, packer_entry)
            packer_image = [v for k, v in packer.items() if k[0] == RT_ICON and k[1] == packer_id]
            self.assertEqual(res[(RT_ICON, n, UK)], packer_image[0])
        self.assertEqual(sorted(struct.unpack_from("<B", e, 0)[0] for e, _ in packer_entries)[:3],
                         [16, 24, 32])

    def test_compression_switches_and_keys(self):
        # (switches, [INFO] lines, F1 option) -> control file compressed, F1 compressed, F2 compressed
        cases = [
            ([], "", "", True, True, True),
            (["-nocompress"], "", "", False, False, False),
            (["-noc"], "COMPRESSFILES=1\r\nCOMPRESSTHIS=1\r\n", "", False, False, False),
            ([], "COMPRESSTHIS=0\r\n", "", False, True, True),
            ([], "COMPRESSFILES=0\r\n", "", True, False, False),
            ([], "COMPRESSFILES=0x1F\r\n", "", True, False, False),
            ([], "COMPRESSTHIS= 7\r\n", ", COMPRESS=0", True, False, True),
            ([], "", ", COMPRESS=0x0 , compress=no", True, True, True),
        ]
        data1 = b"first member " * 100
        data2 = b"second member " * 100
        self.write("a.txt", data1)
        self.write("b.txt", data2)
        for n, (switches, info, option, c_info, c1, c2) in enumerate(cases):
            with self.subTest(switches=switches, info=info, option=option):
                self.write("c%d.ini" % n, "[INFO]\r\n%s[FILES]\r\nF1 = a , a.txt %s\r\nF2 = b , b.txt\r\n"
                           % (info, option))
                self.pack_ok("-create:c%d.exe" % n, "c%d.ini" % n, *switches)
                res = read_resources(self.path("c%d.exe" % n))
                for key, compressed, source in (("KIT.INFO", c_info, None), ("F1", c1, data1),
                                                ("F2", c2, data2)):
                    data = res[("KIT_FILES", key, UK)]
                    self.assertEqual(data[:2] == b"\x1f\x8b", compressed, key)
                    if source is not None:
                        self.assertEqual(gunzip_if_magic(data), source, key)
                    else:
                        self.assertEqual(gunzip_if_magic(data)[:2], b"\xff\xfe")

    def test_version_information_as_windows_reads_it(self):
        cases = [
            ([], {"CompanyName": "Tessaly", "FileDescription": "Unknown Application",
                  "OriginalFilename": "v0.exe", "FileVersion": "0.0.0", "ProductVersion": "0.0"},
             (0, 0, 0)),
            (["-verinfo", "VERSION=9.024.109", "-v", "pversion=9.24", "-verinfo:Company=Acme",
              "-verinfo=application=Acme Setup", "-verinfo", "comments=", "-verinfo", "copyright=\\0251 Acme",
              "-verinfo", "iname=in", "-verinfo", "pname=pn", "-verinfo", "private=pr",
              "-verinfo", "special=sp", "-verinfo", "trademarks=tm", "-verinfo", "version=9.24.109"],
             {"CompanyName": "Acme", "FileDescription": "Acme Setup", "Comments": "",
              "ProductName": "pn", "PrivateBuild": "pr", "SpecialBuild": "sp", "InternalName": "in",
              "LegalTrademarks": "tm", "OriginalFilename": "v1.exe", "FileVersion": "9.24.109",
              "ProductVersion": "9.24", "LegalCopyright": "\u00a9 Acme"},
             (0x00090018, 0x0000006D, 0x00090018)),
        ]
        self.write("v.ini", "[FILES]\r\n")
        verinfo = h.program("verinfo")
        for n, (switches, strings, (ms, ls, pms)) in enumerate(cases):
            with self.subTest(switches=switches):
                self.pack_ok("-create:v%d.exe" % n, "v.ini", *switches)
                r = h.run(verinfo, [h.winpath(self.path("v%d.exe" % n))])
                self.assertEqual(r.exit_code, 0, brief(r))
                info = json.loads(r.stdout.decode("ascii"))
                fixed = info["fixed"]
                self.assertEqual((fixed["signature"], fixed["struc_version"]), (0xFEEF04BD, 0x00010000))
                self.assertEqual((fixed["file_version_ms"], fixed["file_version_ls"],
                                  fixed["product_version_ms"], fixed["product_version_ls"]), (ms, ls, pms, 0))
                self.assertEqual((fixed["file_flags_mask"], fixed["file_flags"], fixed["file_os"],
                                  fixed["file_type"], fixed["file_subtype"]), (0x3F, 2, 0x00040004, 1, 0))
                self.assertNotEqual((fixed["file_date_ms"], fixed["file_date_ls"]), (0, 0))
                self.assertEqual([(t["language"], t["codepage"]) for t in info["translations"]], [(0x0809, 1200)])
                got = info["translations"][0]["strings"]
                copyright_line = got.pop("LegalCopyright")
                if "LegalCopyright" in strings:
                    self.assertEqual(copyright_line, strings.pop("LegalCopyright"))
                else:
                    self.assertRegex(copyright_line, "^Copyright Tessaly \u00a9 1999-20[0-9][0-9]$")
                self.assertEqual(got, strings)
                res = read_resources(self.path("v%d.exe" % n))
                self.assertEqual(list(res[(RT_VERSION, 1, UK)][:2]), list(struct.pack("<H", len(res[(RT_VERSION, 1, UK)]))))

    def test_icon_from_ico_file_and_from_a_kit_as_packer(self):
        ico = make_ico([40, 50, 60])
        self.write("three.ico", ico)
        self.write("tempfile.ico", b"the user's own")  # never touched: the default icon goes through TEMP
        self.write("i.ini", "[INFO]\r\nICON = three.ico\r\n[FILES]\r\n")
        self.write("d.ini", "[INFO]\r\n[FILES]\r\n")
        self.write("e.ini", "[INFO]\r\nICON=empty.ico\r\n")
        self.write("empty.ico", make_ico([]))
        self.pack_ok("-create:i.exe", "i.ini")
        res = read_resources(self.path("i.exe"))
        self.assertEqual(sorted(k for k in res if k[0] in (RT_ICON, RT_GROUP_ICON)),
                         [(RT_ICON, 1, UK), (RT_ICON, 2, UK), (RT_ICON, 3, UK), (RT_GROUP_ICON, 99, 0)])
        directory = res[(RT_GROUP_ICON, 99, 0)]
        self.assertEqual(len(directory), 48)
        self.assertEqual([nid for _, nid in group_entries(directory)], [1, 2, 3])
        self.assertEqual(directory[6:6 + 12], ico[6:6 + 12])
        for n, size in enumerate([40, 50, 60], start=1):
            self.assertEqual(res[(RT_ICON, n, UK)], bytes([n]) * size)

        # A kit is a packer without DEFAULT_ICON: kits made from it have no icon unless ICON names one.
        self.pack_ok("-create:d.exe", "d.ini")
        with open(self.path("tempfile.ico"), "rb") as f:
            self.assertEqual(f.read(), b"the user's own")
        kit_as_packer = self.path("d.exe")
        r = h.run(kit_as_packer, ["-create:dd.exe", "d.ini"], cwd=self.dir)
        self.assertEqual(r.exit_code, 0, brief(r))
        res = read_resources(self.path("dd.exe"))
        self.assertEqual({k[0] for k in res}, {"KIT_FILES", RT_VERSION})
        r = h.run(kit_as_packer, ["-create:di.exe", "i.ini"], cwd=self.dir)
        self.assertEqual(r.exit_code, 0, brief(r))
        self.assertIn((RT_GROUP_ICON, 99, 0), read_resources(self.path("di.exe")))

        self.pack_ok("-create:e.exe", "e.ini")
        res = read_resources(self.path("e.exe"))
        self.assertEqual(res[(RT_GROUP_ICON, 99, 0)], b"\x00\x00\x01\x00\x00\x00")
        self.assertNotIn(RT_ICON, {k[0] for k in res})

    def test_utf16_steering_file_with_more_keys_than_one_list_buffer(self):
        # 1000 key names take 4894 bytes with the final terminator: more than the platform's 4096-byte key-list buffer.
        members = {}
        lines = ["[INFO]", "DESCRIPTION=Caf\u00e9 \u20ac", "[FILES]"]
        for n in range(1, 1001):
            key = "F%d" % n
            members[key] = ("member %d " % n).encode() * (n % 7)
            name = "m%d.txt" % n
            self.write(os.path.join("src", name), members[key])
            lines.append("%s = %s , src\\%s" % (key, name, name))
        self.write("u.ini", utf16("\r\n".join(lines) + "\r\n"))
        self.pack_ok("-create:kit.exe", "u.ini", "-q")
        res = read_resources(self.path("kit.exe"))
        kit_members = {k[1]: v for k, v in res.items() if k[0] == "KIT_FILES" and k[1] != "KIT.INFO"}
        self.assertEqual(set(kit_members), set(members))
        for key, data in members.items():
            self.assertEqual(gunzip_if_magic(kit_members[key]), data, key)
        text = gzip.decompress(res[("KIT_FILES", "KIT.INFO", UK)])
        self.assertTrue(text.startswith(utf16("[INFO]\r\nDESCRIPTION=Caf\u00e9 \u20ac\r\n")))


class ConcurrentPackersTest(PackCase):
    def test_packers_started_together_never_share_a_temporary_file(self):
        # Packers started in the same second share the temporary-name prefix; each kit must
        # still carry only its own control file and members, and nothing may be left over.
        from concurrent.futures import ThreadPoolExecutor
        shared_temp = self.path("temp")
        os.makedirs(shared_temp)
        count = 10
        for n in range(count):
            self.write("s%d/member.txt" % n, ("packer %d " % n) * 3000)
            self.write("s%d/kit.ini" % n, "[INFO]\r\nDESCRIPTION = kit number %d\r\n[FILES]\r\n"
                       "F1 = member.txt , member.txt\r\n" % n)

        def pack(n):
            cwd = self.path("s%d" % n)
            return h.run(self.exe, ["-create:kit.exe", "kit.ini", "-quiet"], cwd=cwd,
                         env={"TMP": h.winpath(shared_temp), "TEMP": h.winpath(shared_temp)},
                         timeout=120)

        with ThreadPoolExecutor(max_workers=count) as pool:
            results = list(pool.map(pack, range(count)))
        for n, result in enumerate(results):
            with self.subTest(packer=n):
                self.assertEqual(result.exit_code, 0, brief(result))
                res = read_resources(self.path("s%d" % n, "kit.exe"))
                control = gunzip_if_magic(res[("KIT_FILES", "KIT.INFO", UK)])
                self.assertIn(utf16("DESCRIPTION = kit number %d\r\n" % n)[2:], control)
                self.assertEqual(gunzip_if_magic(res[("KIT_FILES", "F1", UK)]),
                                 (("packer %d " % n) * 3000).encode())
        self.assertEqual(os.listdir(shared_temp), [])


if __name__ == "__main__":
    unittest.main()
