#!/usr/bin/env bash
# The whole test run: installs what is missing, builds all four trees, runs the native unit
# tests, the sanitizer build with its fuzzers, and (under Xvfb, in one private WoW64 Wine
# prefix) the unit tests under wine64 and the end-to-end tests, first against the x86_64
# programs, then against the i686 ones. Ends with "N passed, N failed", counting each
# end-to-end case (a test method, or each of its subtests) on its own.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" || exit 1
export STOWKIT_BUILD_ROOT=${STOWKIT_BUILD_ROOT:-$root/build}
bash "$root/scripts/build.sh" all || { echo "0 passed, 1 failed"; exit 1; }

jobs=${STOWKIT_JOBS:-$(nproc)}
logdir=$STOWKIT_BUILD_ROOT/test-logs
win64=$STOWKIT_BUILD_ROOT/win64
cases=$win64/e2e-results
rm -rf "$logdir" "$cases"
mkdir -p "$logdir" "$cases"
export LC_ALL=C.UTF-8

run_ctest() {  # name, build dir, extra ctest args...
  local name=$1 dir=$2; shift 2
  echo "== $name"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --output-junit "$logdir/$name.xml" "$@") 2>&1 |
    tee "$logdir/$name.log"
}

run_ctest native "$STOWKIT_BUILD_ROOT/native"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest asan "$STOWKIT_BUILD_ROOT/asan"

# One Wine prefix and one warm wineserver for the whole Windows part, inside one Xvfb display
# so that message boxes are real windows the tests can read and dismiss. The prefix is made
# after 32-bit Wine is installed, so it is a WoW64 prefix that runs both builds.
prefix=$(mktemp -d /tmp/stowkit-wine.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  # A Windows part cut off half-way leaves its test processes running: everything whose
  # environment names this run's prefix is this run's.
  local p
  for p in $(grep -lsxzF "WINEPREFIX=$prefix" /proc/[0-9]*/environ | cut -d/ -f3); do
    [ "$p" = $$ ] || kill "$p" 2>/dev/null
  done
  rm -rf "$prefix"
}
trap cleanup EXIT
# xvfb-run is a POSIX shell script, which passes no exported shell functions on.
export jobs logdir
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f run_ctest)"'
  /usr/lib/wine/wineserver -p >/dev/null 2>&1  # first: one that wineboot starts would not stay
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  run_ctest win64 "$STOWKIT_BUILD_ROOT/win64" -LE i686
  # The i686 half runs only when a 32-bit program starts at all (secpick without arguments
  # ends with -3, of which Wine passes on the low byte); otherwise the run fails saying so.
  timeout 300 /usr/lib/wine/wine "$STOWKIT_BUILD_ROOT/win32/src/client/secpick/secpick.exe" \
    </dev/null >/dev/null 2>&1
  probe=$?
  if [ "$probe" -eq 253 ]; then
    run_ctest i686 "$STOWKIT_BUILD_ROOT/win64" -L i686
  else
    echo "== i686"
    echo "test: 32-bit Windows programs do not start here (the i686 secpick.exe ended with" \
         "status $probe instead of 253): the shipping build cannot be tested." \
         "scripts/setup.sh installs 32-bit Wine (wine32:i386)."
  fi
  /usr/lib/wine/wineserver -k' 2>&1

echo
python3 "$root/scripts/tally.py" "$logdir" "$cases" native asan win64 i686
