#!/usr/bin/env bash
# The whole test run: installs what is missing, builds all four trees, runs the native unit
# tests, the sanitizer build with its fuzzers, and (under Xvfb, in one private Wine prefix)
# the unit tests under wine64 and the end-to-end tests. Ends with "N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" || exit 1
export STOWKIT_BUILD_ROOT=${STOWKIT_BUILD_ROOT:-$root/build}
bash "$root/scripts/build.sh" all || { echo "0 passed, 1 failed"; exit 1; }

jobs=${STOWKIT_JOBS:-$(nproc)}
logdir=$STOWKIT_BUILD_ROOT/test-logs
mkdir -p "$logdir"
export LC_ALL=C.UTF-8

run_ctest() {  # name, build dir, extra ctest args...
  local name=$1 dir=$2; shift 2
  echo "== $name"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@") 2>&1 | tee "$logdir/$name.log"
}

run_ctest native "$STOWKIT_BUILD_ROOT/native"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest asan "$STOWKIT_BUILD_ROOT/asan"

# One Wine prefix and one warm wineserver for the whole Windows part, inside one Xvfb display
# so that message boxes are real windows the tests can read and dismiss.
prefix=$(mktemp -d /tmp/stowkit-wine.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  /usr/lib/wine/wineserver -p >/dev/null 2>&1  # first: one that wineboot starts would not stay
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  cd "$STOWKIT_BUILD_ROOT/win64" && ctest --output-on-failure -j "'"$jobs"'"
  rc=$?
  /usr/lib/wine/wineserver -k
  exit $rc' 2>&1 | tee "$logdir/win64.log"
rm -rf "$prefix"

passed=0; failed=0
for log in "$logdir"/native.log "$logdir"/asan.log "$logdir"/win64.log; do
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "test: no ctest summary in $(basename "$log")"; failed=$((failed + 1)); continue
  fi
  f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
  n=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  passed=$((passed + n - f)); failed=$((failed + f))
done
echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
