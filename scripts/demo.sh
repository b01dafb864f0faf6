#!/usr/bin/env bash
# The whole road of a kit in one command, for both architectures:
#   1. installs what is missing and builds stowkit (the native packer) and the i686 and x86_64
#      programs;
#   2. packs the sample kit of examples/ for each architecture twice: with that build's own
#      packer, stowkitwin -create, under Wine (the i686 one under 32-bit Wine), and with stowkit,
#      natively, onto that build's stub; each kit carries its own build's secpick;
#   3. runs each of the four kits headless under Wine (own temporary prefix) with a language and
#      a target directory, as a user would start it;
#   4. prints for each the install log, the kit's exit status, the installed files and the
#      licence text that secpick picked, and shows that the kit's working directory is gone.
# Usage: bash scripts/demo.sh [LANGUAGE]      (English, French, German; others get [Default])
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
language=${1:-French}

bash "$root/scripts/setup.sh"
export STOWKIT_BUILD_ROOT=${STOWKIT_BUILD_ROOT:-$root/build}
bash "$root/scripts/build.sh" native win64 win32
stowkit=$STOWKIT_BUILD_ROOT/native/buildtools/stowkit/stowkit

demo=$STOWKIT_BUILD_ROOT/demo
rm -rf "$demo"
mkdir -p "$demo"

# Windows form of an absolute Unix path (Wine's Z: drive is the Unix root).
winpath() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }
# Arguments as one would type them at a prompt.
show() { local a out=(); for a; do [[ $a == *" "* ]] && a="\"$a\""; out+=("$a"); done; echo "${out[*]}"; }

prefix=$(mktemp -d /tmp/stowkit-demo-wine.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=C.UTF-8 WINEDLLOVERRIDES="winemenubuilder.exe=d"
cleanup() { /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$prefix"; }
trap cleanup EXIT
echo
echo "== preparing a Wine prefix (a minute the first time)"
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1

# Packs the sample kit for one build and runs it; prints what the kit did.
#   $1 architecture   $2 what it is for   $3 build tree   $4 Wine loader for it   $5 kit file name
#   $6 packer: stowkitwin (the build's own, under Wine) or stowkit (native, onto the build's stub)
demo_kit() {
  local label=$1 purpose=$2 tree=$3 wine=$4 name=$5 packer=$6
  local kit=$demo/$name work=$demo/${name%.exe} status
  local target=$work/installed
  local common=(-verinfo version=1.0.0 -verinfo "pname=Lark Notes"
                -verinfo "application=Lark Notes sample kit")
  mkdir -p "$work"

  echo
  echo "==== the $label kit packed by $packer ($purpose)"
  echo
  status=0
  if [ "$packer" = stowkit ]; then
    local pack_args=("-create:$kit" "$root/examples/sample-kit.ini"
                     "-stub:$tree/buildtools/stowkit/stowkitwin.exe"
                     -define "SRC=$root/examples" -define "TOOLS=$tree/src/client/secpick" "${common[@]}")
    echo "== packing examples/ with stowkit onto the $label stub"
    echo "   stowkit $(show "${pack_args[@]}")"
    "$stowkit" "${pack_args[@]}" </dev/null >"$work/pack.out" 2>&1 || status=$?
  else
    local pack_args=("-create:$(winpath "$kit")" "$(winpath "$root/examples/sample-kit.ini")"
                     -define "SRC=$(winpath "$root/examples")"
                     -define "TOOLS=$(winpath "$tree/src/client/secpick")" "${common[@]}" -quiet)
    echo "== packing examples/ with the $label stowkitwin.exe under Wine"
    echo "   stowkitwin.exe $(show "${pack_args[@]}")"
    if ! "$wine" --version >/dev/null 2>&1; then
      echo "   this machine's Wine cannot start $label programs"
      kit_status+=("$label kit by $packer: not packed here")
      return
    fi
    (cd "$work" && "$wine" "$tree/buildtools/stowkit/stowkitwin.exe" "${pack_args[@]}" \
       </dev/null >"$work/pack.out" 2>&1) || status=$?
  fi
  cat "$work/pack.out"
  if [ "$status" -ne 0 ] || [ ! -f "$kit" ]; then
    echo "demo: packing the $label kit with $packer failed with status $status" >&2
    exit 1
  fi
  echo "   kit: $kit ($(stat -c %s "$kit") bytes)"

  echo
  echo "== running the kit as a user would: $(show "$name" "$language" "$(winpath "$target")")"
  if ! "$wine" --version >/dev/null 2>&1; then
    echo "   this machine's Wine cannot start $label programs; copy the kit to Windows to run it"
    kit_status+=("$label kit by $packer: packed, not run here, $kit")
    return
  fi
  status=0
  (cd "$work" && "$wine" "$kit" "$language" "$(winpath "$target")" </dev/null >"$work/run.out" 2>&1) || status=$?
  cat "$work/run.out"

  echo
  echo "== install log ($work/install.log)"
  if [ -f "$work/install.log" ]; then
    iconv -f CP1252 -t UTF-8 "$work/install.log" | tr -d '\r'
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
  local temp_root workdir
  temp_root=$(echo "$prefix"/drive_c/users/*/Temp)
  workdir=$(grep -o 'emc_[0-9]*' "$work/install.log" 2>/dev/null | tail -n 1 || true)
  if [ -z "$workdir" ]; then
    echo "== the kit made no working directory"
  elif [ ! -d "$temp_root" ]; then
    echo "== working directory %TEMP%\\$workdir (cannot find Wine's %TEMP% to check it)"
  elif [ -e "$temp_root/$workdir" ]; then
    echo "== working directory %TEMP%\\$workdir is still there"
  else
    echo "== working directory %TEMP%\\$workdir was removed by the kit"
  fi
  kit_status+=("$label kit by $packer: exit status $status, $kit")
}

kit_status=()
i686=("$STOWKIT_BUILD_ROOT/win32" /usr/lib/wine/wine)
x86_64=("$STOWKIT_BUILD_ROOT/win64" /usr/lib/wine/wine64)
demo_kit i686 "32-bit Windows, the shipping build" "${i686[@]}" lark-notes-kit-i686.exe stowkitwin
demo_kit x86_64 "64-bit Windows" "${x86_64[@]}" lark-notes-kit.exe stowkitwin
demo_kit i686 "32-bit Windows, packed on Linux" "${i686[@]}" lark-notes-kit-i686-native.exe stowkit
demo_kit x86_64 "64-bit Windows, packed on Linux" "${x86_64[@]}" lark-notes-kit-native.exe stowkit

echo
echo "== summary"
printf '   %s\n' "${kit_status[@]}"
echo "   Installed with 'cmake --install build/native --prefix DIR', stowkit packs onto the i686 stub by"
echo "   default (guide, section 15). On Windows, the i686 packer makes the same kit (paths of your copy):"
echo "     stowkitwin.exe -create:lark-notes-kit.exe examples\\sample-kit.ini -define SRC=C:\\stowkit\\examples -define TOOLS=C:\\stowkit\\bin32 -verinfo version=1.0.0"
