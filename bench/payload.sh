# Sourced by the benchmark scripts: the packer under test and the deterministic payload they
# share (written once below BENCH_DIR and reused).
#   in:  $1 (optional) the x86_64 build tree
#   out: root build exe work total_mb files payload
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-${STOWKIT_BUILD_ROOT:-$root/build}/win64}
exe=$build/buildtools/stowkit/stowkitwin.exe
[ -f "$exe" ] || { echo "bench: $exe is not built (scripts/build.sh win64)" >&2; exit 2; }
work=${BENCH_DIR:-/tmp/stowkit-bench}
total_mb=${BENCH_TOTAL_MB:-256}
files=${BENCH_FILES:-64}
payload=$work/payload-${total_mb}mb-${files}
mkdir -p "$work"

if [ ! -f "$payload/.complete" ]; then
  echo "bench: writing the payload to $payload"
  rm -rf "$payload"
  python3 "$root/bench/make_payload.py" "$payload" --total-mb "$total_mb" --files "$files" >/dev/null
  touch "$payload/.complete"
fi

# Prints a steering file listing every payload file as F1, F2, ... (sorted by name) after the
# given [INFO] lines.
steering_for_payload() {
  printf '[INFO]\r\n%b[FILES]\r\n' "$1"
  local n=0 f
  for f in $(cd "$payload" && ls | sort); do
    n=$((n + 1))
    printf 'F%d = %s , Z:%s\r\n' "$n" "$f" "$(echo "$payload/$f" | tr / '\\')"
  done
}
