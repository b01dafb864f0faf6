#!/usr/bin/env bash
# Native packer benchmark: packs the deterministic payload with stowkit (every core, and one
# job) and compresses the same files with gzip -6 and pigz -6, and packs them with the x86_64
# stowkitwin -create under Wine, one run each, for each payload size. Prints per tool the wall
# time, processor time, peak memory (resident set of the process and what it started) and the
# output size, and stowkit's wall time against gzip's.
#
# Usage: bench/native_bench.sh [WIN64_BUILD_DIR]
#   BENCH_SIZES      payload sizes in MB (default "256 1024")
#   BENCH_FILES      number of files per payload (default 64)
#   BENCH_DIR        work folder (default /tmp/stowkit-bench; payloads are kept and reused)
#   BENCH_WINE=0     leave out stowkitwin under Wine
# Installs pigz from Debian's archive when it is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sizes=${BENCH_SIZES:-256 1024}
root=$(cd "$here/.." && pwd)
native=${STOWKIT_BUILD_ROOT:-$root/build}/native/buildtools/stowkit/stowkit
[ -x "$native" ] || { echo "bench: $native is not built (scripts/build.sh native)" >&2; exit 2; }
if ! command -v pigz >/dev/null; then
  echo "bench: installing pigz"
  apt-get install -y -qq pigz >/dev/null 2>&1 || { apt-get update -qq && apt-get install -y -qq pigz >/dev/null; }
fi
measure() { python3 "$here/measure.py" "$@"; }
cores=$(nproc)
echo "machine: $cores cores; load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"

for mb in $sizes; do
  export BENCH_TOTAL_MB=$mb
  source "$here/payload.sh" "$@"
  out=$work/native-out
  rm -rf "$out"
  mkdir -p "$out"
  # stowkit takes the host's paths; stowkitwin the Wine form of the same files.
  {
    printf '[INFO]\r\nDESCRIPTION=Benchmark kit\r\n[FILES]\r\n'
    n=0
    for f in $(cd "$payload" && ls | sort); do n=$((n + 1)); printf 'F%d = %s , %s/%s\r\n' "$n" "$f" "$payload" "$f"; done
  } > "$work/native.ini"
  steering_for_payload 'DESCRIPTION=Benchmark kit\r\n' > "$work/wine.ini"
  rows=()
  row() {  # name, output bytes, measure output
    local name=$1 bytes=$2; shift 2
    rows+=("$name $bytes $*")
  }
  stub=$(dirname "$exe")/stowkitwin.exe
  # One output name and a fixed time, so that the two kits must be the same bytes.
  mkdir -p "$out/all" "$out/one"
  export SOURCE_DATE_EPOCH=1700000000
  read -r w c p s < <(measure "$native" "-create:$out/all/kit.exe" "$work/native.ini" "-stub:$stub")
  [ "$s" = 0 ] || { echo "bench: stowkit failed" >&2; exit 1; }
  row "stowkit(-jobs:$cores)" "$(stat -c %s "$out/all/kit.exe")" "$w $c $p"
  read -r w c p s < <(measure "$native" "-create:$out/one/kit.exe" "$work/native.ini" "-stub:$stub" -jobs:1)
  row "stowkit(-jobs:1)" "$(stat -c %s "$out/one/kit.exe")" "$w $c $p"
  cmp -s "$out/all/kit.exe" "$out/one/kit.exe" || echo "bench: the kits of -jobs:$cores and -jobs:1 differ" >&2
  unset SOURCE_DATE_EPOCH
  for tool in gzip pigz; do
    mkdir -p "$out/$tool"
    read -r w c p s < <(measure sh -c 'for f in "$1"/*; do '"$tool"' -6 -c "$f" > "$2/$(basename "$f").gz"; done' _ "$payload" "$out/$tool")
    row "$tool(-6)" "$(find "$out/$tool" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')" "$w $c $p"
  done
  if [ "${BENCH_WINE:-1}" = 1 ]; then
    export WINEPREFIX=${WINEPREFIX:-$work/wineprefix} WINEDEBUG=-all LC_ALL=C.UTF-8
    /usr/lib/wine/wineserver -p60 2>/dev/null || true
    [ -f "$WINEPREFIX/system.reg" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    /usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
    read -r w c p s < <(measure /usr/lib/wine/wine64 "$exe" "-create:Z:$(echo "$out/wine.exe" | tr / '\\')" \
                        "Z:$(echo "$work/wine.ini" | tr / '\\')" -quiet)
    if [ "$s" = 0 ]; then row "stowkitwin(Wine)" "$(stat -c %s "$out/wine.exe")" "$w $c $p"; fi
  fi
  payload_bytes=$(find "$payload" -type f ! -name .complete -printf '%s\n' | awk '{s+=$1} END {print s}')
  python3 - "$payload_bytes" "$files" "${rows[@]}" <<'PY'
import sys
payload, files, rows = int(sys.argv[1]), sys.argv[2], [r.split() for r in sys.argv[3:]]
mb = 1 << 20
print("\npayload %.0f MB in %s files" % (payload / mb, files))
print("%-20s %9s %9s %9s %10s %9s" % ("tool", "wall s", "cpu s", "MB/s", "peak MB", "out MB"))
wall = {}
for name, size, w, c, peak in rows:
    wall[name] = float(w)
    print("%-20s %9.2f %9.2f %9.1f %10.1f %9.1f" % (name, float(w), float(c), payload / mb / float(w),
                                                   int(peak) / 1024, int(size) / mb))
native = [n for n in wall if n.startswith("stowkit(-jobs:") and not n.endswith(":1)")][0]
print("stowkit / gzip -6 wall time: %.2f" % (wall[native] / wall["gzip(-6)"]))
PY
done
