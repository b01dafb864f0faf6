#!/usr/bin/env bash
# The main job: installs what is missing, builds the programs for both Windows targets and
# says where they are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
export STOWKIT_BUILD_ROOT=${STOWKIT_BUILD_ROOT:-$root/build}
bash "$root/scripts/build.sh" win32 win64
echo
echo "Shipping programs (32-bit Windows):"
echo "  $STOWKIT_BUILD_ROOT/win32/buildtools/stowkit/stowkitwin.exe"
echo "  $STOWKIT_BUILD_ROOT/win32/src/client/secpick/secpick.exe"
echo "Test builds (64-bit Windows, run under wine64 by the tests):"
echo "  $STOWKIT_BUILD_ROOT/win64/buildtools/stowkit/stowkitwin.exe"
echo "  $STOWKIT_BUILD_ROOT/win64/src/client/secpick/secpick.exe"
