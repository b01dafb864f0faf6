#!/usr/bin/env bash
# The whole road of one kit in one command:
#   1. installs what is missing and builds the x86_64 and i686 programs;
#   2. packs the sample kit of examples/ with the x86_64 packer;
#   3. runs that kit headless under 64-bit Wine (own temporary prefix) with a language and a
#      target directory, as a user would start it;
#   4. prints the install log, the kit's exit status, the installed files and the licence text
#      that secpick picked, and shows that the kit's working directory is gone;
#   5. makes the kit for 32-bit Windows and prints its path.
# Usage: bash scripts/demo.sh [LANGUAGE]      (English, French, German; others get [Default])
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
language=${1:-French}

bash "$root/scripts/setup.sh"
export STOWKIT_BUILD_ROOT=${STOWKIT_BUILD_ROOT:-$root/build}
bash "$root/scripts/build.sh" win64 win32

win64=$STOWKIT_BUILD_ROOT/win64
win32=$STOWKIT_BUILD_ROOT/win32
demo=$STOWKIT_BUILD_ROOT/demo
rm -rf "$demo"
mkdir -p "$demo"

# Windows form of an absolute Unix path (Wine's Z: drive is the Unix root).
winpath() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }
# Arguments as one would type them at a Windows prompt.
show() { local a out=(); for a; do [[ $a == *" "* ]] && a="\"$a\""; out+=("$a"); done; echo "${out[*]}"; }

prefix=$(mktemp -d /tmp/stowkit-demo-wine.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=C.UTF-8 WINEDLLOVERRIDES="winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64
cleanup() { /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$prefix"; }
trap cleanup EXIT

echo
echo "== preparing a Wine prefix (a minute the first time)"
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" $wine wineboot -i >/dev/null 2>&1

kit=$demo/lark-notes-kit.exe
target=$demo/installed
pack_args=(-define "SRC=$(winpath "$root/examples")"
           -verinfo version=1.0.0 -verinfo "pname=Lark Notes" -verinfo "application=Lark Notes sample kit"
           -quiet)

echo
echo "== packing examples/ with the x86_64 packer"
echo "   stowkitwin $(show "-create:$(basename "$kit")" "$(winpath "$root/examples/sample-kit.ini")" \
     "${pack_args[@]}" -define "TOOLS=$(winpath "$win64/src/client/secpick")")"
# The packer works in the demo folder: it writes a temporary icon file into its current directory.
status=0
(cd "$demo" && $wine "$win64/buildtools/stowkit/stowkitwin.exe" "-create:$(winpath "$kit")" \
   "$(winpath "$root/examples/sample-kit.ini")" "${pack_args[@]}" \
   -define "TOOLS=$(winpath "$win64/src/client/secpick")" </dev/null >"$demo/pack.out" 2>&1) || status=$?
cat "$demo/pack.out"
if [ "$status" -ne 0 ] || [ ! -f "$kit" ]; then
  echo "demo: packing failed with status $status" >&2
  exit 1
fi
echo "   kit: $kit ($(stat -c %s "$kit") bytes)"

echo
echo "== running the kit as a user would: $(show lark-notes-kit.exe "$language" "$(winpath "$target")")"
temp_root=$(echo "$prefix"/drive_c/users/*/Temp)
status=0
(cd "$demo" && $wine "$kit" "$language" "$(winpath "$target")" </dev/null >"$demo/run.out" 2>&1) || status=$?
cat "$demo/run.out"

echo
echo "== install log ($demo/install.log)"
if [ -f "$demo/install.log" ]; then
  iconv -f CP1252 -t UTF-8 "$demo/install.log" | tr -d '\r'
else
  echo "   (no install log was written)"
fi
echo
echo "== kit exit status: $status (0 = installed; setup.cmd: 2 no target, 3 no licence, 4 no directory, 5 copy failed)"
echo
echo "== installed files"
(cd "$target" 2>/dev/null && find . -type f -printf '%P  (%s bytes)\n' | sort) || echo "   (none)"
if [ -f "$target/LICENCE.txt" ]; then
  echo
  echo "== LICENCE.txt as secpick cut it (code page 1252, CR LF; shown in UTF-8)"
  iconv -f CP1252 -t UTF-8 "$target/LICENCE.txt" | tr -d '\r' | sed 's/^/   | /'
fi
echo
workdir=$(grep -o 'emc_[0-9]*' "$demo/install.log" | tail -n 1 || true)
if [ -z "$workdir" ]; then
  echo "== the kit made no working directory"
elif [ ! -d "$temp_root" ]; then
  echo "== working directory %TEMP%\\$workdir (cannot find Wine's %TEMP% to check it)"
elif [ -e "$temp_root/$workdir" ]; then
  echo "== working directory %TEMP%\\$workdir is still there"
else
  echo "== working directory %TEMP%\\$workdir was removed by the kit"
fi

echo
echo "== the kit for 32-bit Windows"
# A kit is a copy of the packer that made it, and the i686 packer needs a 32-bit Wine, which
# this machine does not have. So the payload is packed by the x86_64 packer (with the i686
# secpick inside) and moved, resource for resource, onto the i686 packer image.
kit32=$demo/lark-notes-kit-i686.exe
carrier=$demo/lark-notes-kit-i686-payload.exe
status=0
rebasekit=$win64/buildtools/rebasekit/rebasekit.exe
if [ -f "$rebasekit" ]; then
  (cd "$demo" && $wine "$win64/buildtools/stowkit/stowkitwin.exe" "-create:$(winpath "$carrier")" \
     "$(winpath "$root/examples/sample-kit.ini")" "${pack_args[@]}" \
     -define "TOOLS=$(winpath "$win32/src/client/secpick")" </dev/null >"$demo/pack32.out" 2>&1 &&
   $wine "$rebasekit" "$(winpath "$carrier")" "$(winpath "$win32/buildtools/stowkit/stowkitwin.exe")" \
     "$(winpath "$kit32")" </dev/null >>"$demo/pack32.out" 2>&1) || status=$?
  rm -f "$carrier"
else
  status=1
fi
cat "$demo/pack32.out" 2>/dev/null || true
if [ "$status" -eq 0 ] && [ -f "$kit32" ]; then
  echo "   i686 kit (ship this one to 32-bit Windows): $kit32"
else
  echo "   could not make the i686 kit here (status $status)."
fi
echo "   i686 packer:  $win32/buildtools/stowkit/stowkitwin.exe"
echo "   i686 secpick: $win32/src/client/secpick/secpick.exe"
echo "   On Windows, the i686 packer makes the same kit directly (paths of your copy of the tree):"
echo "     stowkitwin.exe -create:lark-notes-kit.exe examples\\sample-kit.ini -define SRC=C:\\stowkit\\examples -define TOOLS=C:\\stowkit\\bin32 -verinfo version=1.0.0"
