#!/usr/bin/env bash
# Unpack benchmark: runs a kit of the pack benchmark's payload (default 256 MB in 64 files) with
# the x86_64 stowkitwin under Wine, without any installer command, and decompresses the same
# files' gzip streams with gzip -dc in the same run. Prints the unpack seconds (wall time of
# the kit process less its fixed 5000 ms pause before the clean-up, reported separately), MB/s,
# the gzip -dc seconds, their ratio, and the peak memory (resident set) of the kit process
# against its largest member. The resident set is also sampled while the kit runs and split
# into private memory and pages mapped from files (the kit's image, when Wine maps it): only
# the private part is memory the kit takes from the system; mapped pages are page cache.
#
# Usage: bench/unpack_bench.sh [WIN64_BUILD_DIR]
#   BENCH_DIR       work folder (default /tmp/stowkit-bench; payload and kit are kept and reused)
#   BENCH_TOTAL_MB  payload size (default 256)      BENCH_FILES  number of files (default 64)
#   BENCH_REPEAT    runs of each side, the fastest counts (default 3; the machine may be shared)
set -euo pipefail
source "$(dirname "$0")/payload.sh" "$@"
pause_s=5.0
repeat=${BENCH_REPEAT:-3}
winpath() { echo "Z:$1" | tr / '\\'; }

export WINEPREFIX=${WINEPREFIX:-$work/wineprefix} WINEDEBUG=-all LC_ALL=C.UTF-8
/usr/lib/wine/wineserver -p60 2>/dev/null || true  # already running is fine
[ -f "$WINEPREFIX/system.reg" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true  # warm the server and the loader

# The kit: the pack benchmark's payload, no installer command (the launch costs nothing).
# Packed again only when the payload, the steering file or the packer changed.
ini=$work/unpack.ini
kit=$work/unpack-kit.exe
steering_for_payload 'DESCRIPTION=Unpack benchmark kit\r\n' > "$ini.new"
if [ ! -f "$kit" ] || ! cmp -s "$ini" "$ini.new" || [ "$exe" -nt "$kit" ]; then
  mv "$ini.new" "$ini"
  echo "bench: packing $kit"
  rm -f "$kit"
  /usr/lib/wine/wine64 "$exe" -create:"$(winpath "$kit")" "$(winpath "$ini")" -quiet
  [ -f "$kit" ] || { echo "bench: the pack failed" >&2; exit 1; }
else
  rm -f "$ini.new"
fi

start_dir=$work/unpack-start
temp_dir=$work/unpack-temp
run_s=; peak_kb=0; anon_kb=0; file_kb=0
for ((i = 0; i < repeat; i++)); do
  rm -rf "$start_dir" "$temp_dir"
  mkdir -p "$start_dir" "$temp_dir"
  # Wall time and peak resident set of the kit process (the Wine process is the Windows
  # process; the shared wineserver is not counted). The kit is started through the harness's
  # Win32 launcher, which sets its TEMP and TMP: Wine ignores the Unix variables and would
  # hand the kit the prefix's own TEMP, where the check below could not see what it left.
  read -r s kb anon file status < <(STOWKIT_BUILD_DIR=$build \
    /usr/bin/python3 - "$root/tests/e2e" "$kit" "$start_dir" "$temp_dir" <<'PY'
import os, sys, threading, time
sys.path.insert(0, sys.argv[1])
import harness
kit, start, temp = sys.argv[2:5]
harness.run(harness.program("boxer"), ["--exit", "0"])  # the prefix and its server, warmed
marker = harness.winpath(kit).encode()
def kit_pids():
    found = []
    for pid in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if marker in f.read():
                    found.append(pid)
        except OSError:
            pass
    return found
def sample(pid, peak):
    try:
        with open("/proc/%s/status" % pid) as f:
            for line in f:
                key, _, value = line.partition(":")
                if key in peak:
                    peak[key] = max(peak[key], int(value.split()[0]))
    except OSError:
        pass
peak = {"VmHWM": 0, "RssAnon": 0, "RssFile": 0}
result = {}
def run():
    result["r"] = harness.run(kit, cwd=start, env={"TEMP": harness.winpath(temp),
                                                  "TMP": harness.winpath(temp)}, timeout=None)
start_time = time.monotonic()
runner = threading.Thread(target=run)
runner.start()
while runner.is_alive():
    for pid in kit_pids():
        sample(pid, peak)
    time.sleep(0.02)
elapsed = time.monotonic() - start_time
r = result.get("r")
print("%.2f %d %d %d %s" % (elapsed, peak["VmHWM"], peak["RssAnon"], peak["RssFile"],
                            r.exit_code if r else "none"))
PY
  )
  [ "$status" = 0 ] || { echo "bench: the kit ended with status $status" >&2; exit 1; }
  created=$(grep -c "^Created target file" "$start_dir/install.log" || true)
  [ "$created" = "$files" ] || { echo "bench: the kit unpacked $created of $files files" >&2; exit 1; }
  [ -z "$(ls -A "$temp_dir")" ] || { echo "bench: the kit left files in $temp_dir" >&2; exit 1; }
  run_s=$(python3 -c "import sys; print(min(float(x) for x in sys.argv[1:] if x))" "$s" $run_s)
  [ "$kb" -gt "$peak_kb" ] && peak_kb=$kb
  [ "$anon" -gt "$anon_kb" ] && anon_kb=$anon
  [ "$file" -gt "$file_kb" ] && file_kb=$file
done
largest_member=$(grep -o "of length [0-9]* bytes" "$start_dir/install.log" | awk '{print $3}' | sort -n | tail -1)

# gzip -dc over the same files' gzip streams, written to disk as the kit writes its targets.
gz=$work/gzip-unpack
if [ ! -f "$gz/.complete" ]; then
  rm -rf "$gz"
  mkdir -p "$gz"
  for f in "$payload"/*; do gzip -6 -c "$f" > "$gz/$(basename "$f").gz"; done
  touch "$gz/.complete"
fi
out=$work/gzip-out
gzip_s=
for ((i = 0; i < repeat; i++)); do
  rm -rf "$out"
  mkdir -p "$out"
  start=$(date +%s.%N)
  for f in "$gz"/*.gz; do
    gzip -dc "$f" > "$out/$(basename "$f" .gz)"
  done
  end=$(date +%s.%N)
  gzip_s=$(python3 -c "import sys; print(min(float(x) for x in sys.argv[1:] if x))" \
    "$(python3 -c "print($end - $start)")" $gzip_s)
done
rm -rf "$out"

payload_bytes=$(find "$payload" -type f ! -name .complete -printf '%s\n' | awk '{s+=$1} END {print s}')
kit_bytes=$(stat -c %s "$kit")
python3 - "$run_s" "$pause_s" "$gzip_s" "$payload_bytes" "$kit_bytes" "$peak_kb" \
  "$largest_member" "$files" "$repeat" "$anon_kb" "$file_kb" <<'PY'
import sys
run_s, pause_s, gzip_s, payload, kit, peak_kb, largest, files, repeat, anon_kb, file_kb = sys.argv[1:]
unpack_s = float(run_s) - float(pause_s)
gzip_s = float(gzip_s)
payload, kit, peak, largest = int(payload), int(kit), int(peak_kb) * 1024, int(largest)
mb = 1 << 20
print("payload:        %.0f MB in %s files, kit %.1f MB; fastest of %s runs each"
      % (payload / mb, files, kit / mb, repeat))
print("kit run:        %.2f s wall, of which the fixed pause %.2f s" % (float(run_s), float(pause_s)))
print("unpack:         %.2f s  (%.1f MB/s)" % (unpack_s, payload / mb / unpack_s))
print("gzip -dc:       %.2f s  (%.1f MB/s)" % (gzip_s, payload / mb / gzip_s))
print("unpack / gzip:  %.2f" % (unpack_s / gzip_s))
print("peak memory:    %.0f MB  (largest member %.1f MB stored, kit %.1f MB)"
      % (peak / mb, largest / mb, kit / mb))
print("  sampled:      %.0f MB private, %.0f MB mapped from files (page cache)"
      % (int(anon_kb) / 1024, int(file_kb) / 1024))
PY
