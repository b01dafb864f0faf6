#!/usr/bin/env bash
# Pack benchmark: packs a deterministic payload (default 256 MB in 64 files, half text-like,
# half incompressible) with the x86_64 stowkitwin under Wine, and compresses the same files with
# gzip -6 in the same run. Prints pack seconds, MB/s, gzip seconds, their ratio (of wall time and
# of processor time), kit size against the sum of the gzip sizes, and the peak memory (resident
# set) of the packing process.
#
# Usage: bench/pack_bench.sh [WIN64_BUILD_DIR]
#   BENCH_DIR       work folder (default /tmp/stowkit-bench; the payload is kept there and reused)
#   BENCH_TOTAL_MB  payload size (default 256)      BENCH_FILES  number of files (default 64)
#   BENCH_NOCOMPRESS=1  pack with -nocompress (kit size = payload size; for memory figures)
set -euo pipefail
source "$(dirname "$0")/payload.sh" "$@"

ini=$work/bench.ini
steering_for_payload 'DESCRIPTION=Benchmark kit\r\nCOMMANDLINE=setup.cmd\r\n' > "$ini"

export WINEPREFIX=${WINEPREFIX:-$work/wineprefix} WINEDEBUG=-all LC_ALL=C.UTF-8
/usr/lib/wine/wineserver -p60 2>/dev/null || true  # already running is fine
[ -f "$WINEPREFIX/system.reg" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true  # warm the server and the loader

switches=(-quiet)
[ "${BENCH_NOCOMPRESS:-0}" = 1 ] && switches+=(-nocompress)
kit=$work/kit.exe
rm -f "$kit"
# Wall time, processor time (user + system) and peak resident set of the packing process (the
# Wine process is the Windows process; the shared wineserver is not counted). Processor time
# is the steadier figure on a machine shared with other work.
read -r pack_s pack_cpu peak_kb status < <(python3 - "$exe" "$kit" "$ini" "${switches[@]}" <<'PY'
import resource, subprocess, sys, time
exe, kit, ini, *switches = sys.argv[1:]
start = time.monotonic()
r = subprocess.run(["/usr/lib/wine/wine64", exe, "-create:Z:" + kit.replace("/", "\\"),
                    "Z:" + ini.replace("/", "\\"), *switches])
elapsed = time.monotonic() - start
use = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.2f %.2f %d %d" % (elapsed, use.ru_utime + use.ru_stime, use.ru_maxrss, r.returncode))
PY
)
[ "$status" = 0 ] || { echo "bench: the pack failed with status $status" >&2; exit 1; }

gz=$work/gzip
rm -rf "$gz"
mkdir -p "$gz"
read -r gzip_s gzip_cpu < <(python3 - "$payload" "$gz" <<'PY'
import os, resource, subprocess, sys, time
payload, gz = sys.argv[1:]
start = time.monotonic()
for name in sorted(os.listdir(payload)):
    if name.startswith("."):
        continue
    with open(os.path.join(gz, name + ".gz"), "wb") as out:
        subprocess.run(["gzip", "-6", "-c", os.path.join(payload, name)], stdout=out, check=True)
elapsed = time.monotonic() - start
use = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.2f %.2f" % (elapsed, use.ru_utime + use.ru_stime))
PY
)

payload_bytes=$(find "$payload" -type f ! -name .complete -printf '%s\n' | awk '{s+=$1} END {print s}')
gzip_bytes=$(find "$gz" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
kit_bytes=$(stat -c %s "$kit")
python3 - "$pack_s" "$pack_cpu" "$gzip_s" "$gzip_cpu" "$payload_bytes" "$gzip_bytes" "$kit_bytes" \
  "$peak_kb" "$files" <<'PY'
import sys
pack_s, pack_cpu, gzip_s, gzip_cpu, payload, gz, kit, peak_kb, files = sys.argv[1:]
pack_s, pack_cpu, gzip_s, gzip_cpu = map(float, (pack_s, pack_cpu, gzip_s, gzip_cpu))
payload, gz, kit, peak = int(payload), int(gz), int(kit), int(peak_kb) * 1024
mb = 1 << 20
print("payload:       %.0f MB in %s files" % (payload / mb, files))
print("pack:          %.2f s  (%.1f MB/s; processor %.2f s)" % (pack_s, payload / mb / pack_s, pack_cpu))
print("gzip -6:       %.2f s  (%.1f MB/s; processor %.2f s)" % (gzip_s, payload / mb / gzip_s, gzip_cpu))
print("pack / gzip:   %.2f  (processor time %.2f)" % (pack_s / gzip_s, pack_cpu / gzip_cpu))
print("kit size:      %.1f MB  (sum of gzip sizes %.1f MB, kit / gzip %.3f)" % (kit / mb, gz / mb, kit / gz))
print("peak memory:   %.0f MB  (%.2f x the kit)" % (peak / mb, peak / kit))
PY
