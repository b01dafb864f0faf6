"""Runs the Windows programs under Wine for the end-to-end tests.

Each test process checks the programs of one architecture, the one named by the environment
variable STOWKIT_E2E_ARCH: "x86_64" (the default) or "i686" (the shipping build, run in the
same WoW64 prefix). program("stowkitwin") and program("secpick") are that architecture's; the
test helpers (launch, boxer, testinstaller, verinfo) are always the x86_64 ones.

Every run is one wine64 process: tests/win32helpers/launch.exe starts the program with
exactly the command line, directory and environment asked for, dismisses each dialog box
the program (or anything it starts) shows, and reports the full 32-bit exit status and the
boxes. Standard output and error of the whole process tree go to capture files.

Paths
    source_dir() -> str            source tree (env STOWKIT_SOURCE_DIR, else this file's ../..)
    build_dir() -> str             x86_64 build tree (env STOWKIT_BUILD_DIR, else <source>/build/win64)
    i686_dir() -> str | None       i686 build tree (env STOWKIT_I686_DIR); None when unset or absent
    arch() -> str                  architecture under test: "x86_64" or "i686" (env STOWKIT_E2E_ARCH)
    arch_dir() -> str              build tree of that architecture; HarnessError when it is not built
    program(name, tree=None) -> str
                                   Unix path of a built program in `tree`: "stowkitwin", "secpick",
                                   "launch", "boxer", "testinstaller", "verinfo" (".exe" optional).
                                   Without `tree`: arch_dir() for stowkitwin and secpick,
                                   build_dir() for the helpers. Raises HarnessError when missing.
    winpath(path) -> str           Windows form of a Unix path: "Z:" + absolute path, "/" -> "\\".
                                   A path that already has a drive letter is returned unchanged.
    unixpath(path) -> str          the reverse, for "Z:\\..." paths
    temp_dir(name="t") -> str      a fresh empty directory below <build>/e2e-tmp (else /tmp),
                                   removed when the test process ends unless STOWKIT_KEEP_E2E_TMP=1
    quote_arg(arg) -> str          one argument quoted by the rules of the C runtime's parser
    join_args(args) -> str         quote_arg of each, joined by single blanks

Running
    run(exe, args=None, *, cmdline=None, full_cmdline=None, cwd=None, env=None, unset=(),
        timeout=60) -> Result
        exe           Unix path (or a Windows path with drive letter) of the program.
        The command line given to CreateProcessW is, of the three forms (use at most one):
          args          '"<winpath(exe)>" ' + join_args(args)
          cmdline       '"<winpath(exe)>" ' + cmdline, the text taken byte for byte
          full_cmdline  full_cmdline exactly, including the program name
          none          '"<winpath(exe)>"'
        cwd           current directory (Unix or Windows path); default: a fresh temp_dir("run")
        env           {name: value} set for the program on top of the environment it
                      inherits (os.environ at the call, as Wine passes it on)
        unset         names removed from the program's environment
        timeout       seconds (None: no limit); then the program and everything it
                      started are terminated
    Result fields:
        exit_code         full status as an unsigned 32-bit int (None when timed out)
        signed_exit_code  the same as a signed int (-3 for 4294967293)
        stdout, stderr    bytes
        boxes             [Box], in the order they appeared
        timed_out         bool
        cmdline           the command line passed; cwd: the current directory (Unix path
                          when it lies on Z:)
    Box fields: caption, text, buttons (list of button texts), ok_pressed (OK dismissed it),
        dismissed_with (command id posted last; 0 = still open at the end), topmost
        (system-modal boxes are topmost), pid.
    HarnessError is raised when the program cannot be started or the launcher fails.

Message boxes
    has_display() -> bool          boxes are real windows only with an X display (xvfb-run);
                                   without one they return at once and are not recorded.
    needs_display                  decorator: skips a test or class when there is no display.

Installer records (tests/win32helpers/testinstaller.exe, with env STOWKIT_TEST_RECORD)
    read_records(path) -> [dict]   one dict per start: pid, exit, cmdline (str, decoded from
        code page 1252), cmdline_bytes, cmdline_w, argv (list of str), argv_bytes, cwd,
        install_logfile (None when unset), files ([{path, size, dir}] relative to cwd, sorted),
        file_sizes ({path: size, None for directories}), files_truncated.

Wine
    The prefix is $WINEPREFIX, else /tmp/stowkit-wineprefix-<uid> (created once, reused).
    WINEDEBUG=-all and LC_ALL=C.UTF-8 (ANSI code page 1252) are always set. Once per test
    process, under a lock in the prefix (several test processes may share one prefix), a
    persistent wineserver (idle time-out 300 s) is started and warmed, and the prefix is told
    to leave windows unmanaged (without a window manager each box would cost ~2 s).
"""

import atexit
import fcntl
import itertools
import json
import os
import shutil
import subprocess
import tempfile
import time
import threading
import unittest
from dataclasses import dataclass

WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
# Seconds a wine64 start may take beyond the program's own time-out before the harness
# gives up on the launcher itself.
_LAUNCH_SLACK = 90
_LAUNCH_TRIES = 3

_PROGRAM_DIRS = {
    "stowkitwin": "buildtools/stowkit",
    "secpick": "src/client/secpick",
    "launch": "tests/win32helpers",
    "boxer": "tests/win32helpers",
    "testinstaller": "tests/win32helpers",
    "verinfo": "tests/win32helpers",
}


class HarnessError(Exception):
    """The program could not be run at all (as opposed to running and failing)."""


# ---------------------------------------------------------------- paths

def source_dir():
    d = os.environ.get("STOWKIT_SOURCE_DIR")
    return os.path.abspath(d) if d else os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def build_dir():
    d = os.environ.get("STOWKIT_BUILD_DIR")
    return os.path.abspath(d) if d else os.path.join(source_dir(), "build", "win64")


def i686_dir():
    d = os.environ.get("STOWKIT_I686_DIR", "")
    return os.path.abspath(d) if d and os.path.isdir(d) else None


ARCHES = ("x86_64", "i686")
# The programs a kit is made of; everything else in _PROGRAM_DIRS is a test helper.
_PRODUCT = ("stowkitwin", "secpick")


def arch():
    a = os.environ.get("STOWKIT_E2E_ARCH") or "x86_64"
    if a not in ARCHES:
        raise HarnessError("STOWKIT_E2E_ARCH is %r; expected one of %s" % (a, ", ".join(ARCHES)))
    return a


def arch_dir():
    if arch() == "x86_64":
        return build_dir()
    d = i686_dir()
    if d is None:
        raise HarnessError("the i686 programs are under test, but STOWKIT_I686_DIR names no build tree")
    return d


def program(name, tree=None):
    if name.lower().endswith(".exe"):
        name = name[:-4]
    if name not in _PROGRAM_DIRS:
        raise HarnessError("unknown program %r" % name)
    if tree is None:
        tree = arch_dir() if name in _PRODUCT else build_dir()
    path = os.path.join(tree, _PROGRAM_DIRS[name], name + ".exe")
    if not os.path.isfile(path):
        raise HarnessError("%s is not built (looked for %s)" % (name, path))
    return path


def _has_drive(path):
    return len(path) >= 2 and path[1] == ":" and path[0].isalpha()


def winpath(path):
    path = os.fspath(path)
    if _has_drive(path):
        return path
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def unixpath(path):
    if not (len(path) >= 2 and path[:2].upper() == "Z:"):
        raise ValueError("not a Z: path: %r" % path)
    return path[2:].replace("\\", "/") or "/"


_temp_lock = threading.Lock()
_temp_dirs = []


def _cleanup():
    if os.environ.get("STOWKIT_KEEP_E2E_TMP") == "1":
        return
    for d in _temp_dirs:
        shutil.rmtree(d, ignore_errors=True)


atexit.register(_cleanup)


def _temp_root():
    root = os.path.join(build_dir(), "e2e-tmp")
    try:
        os.makedirs(root, exist_ok=True)
        return root
    except OSError:
        return tempfile.gettempdir()


def temp_dir(name="t"):
    d = tempfile.mkdtemp(prefix=name + "-", dir=_temp_root())
    with _temp_lock:
        _temp_dirs.append(d)
    return d


def quote_arg(arg):
    if arg and not any(c in arg for c in ' \t\n\v"'):
        return arg
    out = ['"']
    backslashes = 0
    for c in arg:
        if c == "\\":
            backslashes += 1
            continue
        # Backslashes are literal unless a quote follows: then each one is doubled and the
        # quote itself escaped.
        out.append("\\" * (backslashes * 2 + 1 if c == '"' else backslashes))
        out.append(c)
        backslashes = 0
    out.append("\\" * (backslashes * 2))
    out.append('"')
    return "".join(out)


def join_args(args):
    return " ".join(quote_arg(a) for a in args)


# ---------------------------------------------------------------- display

def has_display():
    return bool(os.environ.get("DISPLAY"))


needs_display = unittest.skipUnless(
    has_display(), "no X display: message boxes are only shown and recorded under xvfb-run")


# ---------------------------------------------------------------- wine

class _Wine:
    lock = threading.Lock()
    ready = False
    prefix = None
    scratch = None
    counter = itertools.count(1)


def _wine_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", LC_ALL="C.UTF-8")
    # Keeps Wine from adding menu entries and desktop files for the test programs.
    env["WINEDLLOVERRIDES"] = "winemenubuilder.exe=d"
    return env


def _ensure_wine():
    with _Wine.lock:
        if _Wine.ready:
            return
        prefix = os.environ.get("WINEPREFIX") or "/tmp/stowkit-wineprefix-%d" % os.getuid()
        prefix = os.path.abspath(prefix)
        os.makedirs(prefix, exist_ok=True)
        env = _wine_env(prefix)
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(os.path.join(prefix, ".stowkit-harness.lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            # The server first, so that it is the persistent one (a server started implicitly
            # by wineboot would exit seconds after the last program). Its output must not be
            # a pipe of ours: it outlives this call.
            subprocess.run([WINESERVER, "-p300"], env=env, timeout=60, **quiet)
            # The running server writes the registry files only later, so a prefix this
            # harness made is known by its own mark.
            made = os.path.join(prefix, ".stowkit-harness-ready")
            if not os.path.exists(os.path.join(prefix, "system.reg")) and not os.path.exists(made):
                boot_env = dict(env, WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
                r = subprocess.run([WINE64, "wineboot", "-i"], env=boot_env, timeout=600, **quiet)
                if r.returncode != 0:
                    raise HarnessError("cannot create the Wine prefix %s (wineboot ended with %d)"
                                       % (prefix, r.returncode))
                open(made, "w").close()
            if arch() == "i686" and not os.path.isdir(os.path.join(prefix, "drive_c", "windows",
                                                                   "syswow64")):
                raise HarnessError("the Wine prefix %s cannot run 32-bit programs: it was made "
                                   "before 32-bit Wine was installed (remove it)" % prefix)
            # Windows left to a window manager cost about two seconds per message box under
            # Xvfb, which has none: Wine waits for the manager at every map and unmap. This
            # is also the first program of the server, which starts Wine's own services here
            # rather than in some test's time and capture files.
            subprocess.run([WINE64, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                            "/d", "N", "/f"], env=env, timeout=300, **quiet)
        _Wine.prefix = prefix
        _Wine.scratch = tempfile.mkdtemp(prefix="stowkit-launch-")
        _temp_dirs.append(_Wine.scratch)
        _Wine.ready = True


# ---------------------------------------------------------------- running

@dataclass
class Box:
    caption: str
    text: str
    buttons: list
    dismissed_with: int
    topmost: bool
    pid: int

    @property
    def ok_pressed(self):
        return self.dismissed_with == 1


@dataclass
class Result:
    exit_code: object
    stdout: bytes
    stderr: bytes
    boxes: list
    timed_out: bool
    cmdline: str
    cwd: str
    pid: int = 0

    @property
    def signed_exit_code(self):
        if self.exit_code is None:
            return None
        return self.exit_code - (1 << 32) if self.exit_code >= 1 << 31 else self.exit_code

    def __str__(self):
        return ("exit_code=%s timed_out=%s cmdline=%r\n  stdout=%r\n  stderr=%r\n  boxes=%r"
                % (self.exit_code, self.timed_out, self.cmdline, self.stdout, self.stderr,
                   [(b.caption, b.text) for b in self.boxes]))


def _hex(text):
    return text.encode("utf-8").hex()


def run(exe, args=None, *, cmdline=None, full_cmdline=None, cwd=None, env=None, unset=(),
        timeout=60):
    if sum(x is not None for x in (args, cmdline, full_cmdline)) > 1:
        raise ValueError("give at most one of args, cmdline, full_cmdline")
    _ensure_wine()
    exe_win = winpath(exe)
    if full_cmdline is not None:
        line = full_cmdline
    elif cmdline is not None:
        line = '"%s" %s' % (exe_win, cmdline)
    elif args is not None:
        line = '"%s" %s' % (exe_win, join_args(args))
    else:
        line = '"%s"' % exe_win
    if cwd is None:
        cwd = temp_dir("run")
    cwd_win = winpath(cwd)

    n = next(_Wine.counter)
    base = os.path.join(_Wine.scratch, str(n))
    request, report = base + ".request", base + ".report"
    fields = [("program", _hex(exe_win)), ("cmdline", _hex(line)), ("cwd", _hex(cwd_win)),
              ("report", _hex(winpath(report))),
              ("timeout", str(0xFFFFFFFF if timeout is None else min(int(timeout * 1000), 0xFFFFFFFE)))]
    for name, value in (env or {}).items():
        fields.append(("set", _hex(name) + " " + _hex(value)))
    for name in unset:
        fields.append(("unset", _hex(name)))
    with open(request, "w", encoding="ascii") as f:
        f.write("".join("%s %s\n" % kv for kv in fields))

    # Under heavy load Wine now and then fails to start the launcher itself, or the program
    # cannot be created for a passing reason. Both are retried while the program is known
    # not to have run (no start mark from the launcher); anything after its start is final.
    for attempt in range(_LAUNCH_TRIES):
        with open(base + ".out", "w+b") as out, open(base + ".err", "w+b") as err:
            try:
                proc = subprocess.run([WINE64, program("launch"), winpath(request)],
                                      env=_wine_env(_Wine.prefix), stdin=subprocess.DEVNULL,
                                      stdout=out, stderr=err,
                                      timeout=None if timeout is None else timeout + _LAUNCH_SLACK)
            except subprocess.TimeoutExpired:
                raise HarnessError("launcher did not end %d s after the time-out: %s"
                                   % (_LAUNCH_SLACK, line))
            out.seek(0)
            err.seek(0)
            stdout, stderr = out.read(), err.read()
        started = os.path.exists(report + ".started")
        try:
            with open(report, encoding="ascii") as f:
                rep = json.load(f)
        except (OSError, ValueError):
            rep = None
        if started or attempt == _LAUNCH_TRIES - 1 or (rep is not None and not rep["error"]):
            break
        time.sleep(0.5 * (attempt + 1))
    if rep is None:
        raise HarnessError("launcher ended with %d and no report for %s\n%s"
                           % (proc.returncode, line, stderr.decode("utf-8", "replace")))
    if rep["error"]:
        raise HarnessError("%s: %s" % (rep["error"], exe_win))
    boxes = [Box(b["caption"], b["text"], b["buttons"], b["dismissed_with"], b["topmost"], b["pid"])
             for b in rep["boxes"]]
    return Result(exit_code=rep["exit_code"], stdout=stdout, stderr=stderr, boxes=boxes,
                  timed_out=rep["timed_out"], cmdline=line,
                  cwd=unixpath(cwd_win) if cwd_win[:2].upper() == "Z:" else cwd_win, pid=rep["pid"])


# ---------------------------------------------------------------- installer records

def _ansi(raw):
    try:
        return raw.decode("cp1252")
    except UnicodeDecodeError:
        # The five bytes code page 1252 leaves undefined map to the same code points on Windows.
        return "".join(bytes([b]).decode("cp1252", errors="ignore") or chr(b) for b in raw)


def read_records(path):
    records = []
    if not os.path.exists(path):
        return records
    with open(path, encoding="ascii") as f:
        for line in f:
            if not line.strip():
                continue
            rec = json.loads(line)
            rec["cmdline_bytes"] = rec["cmdline"].encode("latin-1")
            rec["cmdline"] = _ansi(rec["cmdline_bytes"])
            rec["argv_bytes"] = [a.encode("latin-1") for a in rec["argv"]]
            rec["argv"] = [_ansi(a) for a in rec["argv_bytes"]]
            rec["file_sizes"] = {e["path"]: (None if e["dir"] else e["size"]) for e in rec["files"]}
            records.append(rec)
    return records
