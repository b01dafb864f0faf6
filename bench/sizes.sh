#!/usr/bin/env bash
# Prints the file size of the four shipped programs (stowkitwin and secpick, i686 and x86_64)
# and their ceilings from tests/e2e/test_artifacts.py. A kit is a copy of stowkitwin, so its
# size is paid in every kit.
# Usage: bench/sizes.sh [BUILD_ROOT]      (default: $STOWKIT_BUILD_ROOT, else build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${STOWKIT_BUILD_ROOT:-$root/build}}
/usr/bin/python3 - "$root/tests/e2e" "$build" <<'PY'
import os, sys
sys.path.insert(0, sys.argv[1])
import test_artifacts
build = sys.argv[2]
print("%-8s %-11s %10s %10s %7s" % ("arch", "program", "bytes", "ceiling", "used"))
for arch, tree in (("i686", "win32"), ("x86_64", "win64")):
    for name, sub in (("stowkitwin", "buildtools/stowkit"), ("secpick", "src/client/secpick")):
        path = os.path.join(build, tree, sub, name + ".exe")
        ceiling = test_artifacts.SIZE_CEILINGS[(arch, name)]
        if not os.path.isfile(path):
            print("%-8s %-11s %10s %10d" % (arch, name, "not built", ceiling))
            continue
        size = os.path.getsize(path)
        print("%-8s %-11s %10d %10d %6.0f%%" % (arch, name, size, ceiling, 100.0 * size / ceiling))
PY
