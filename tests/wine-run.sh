#!/usr/bin/env bash
# Runs one Windows program under 64-bit Wine with the test run's private prefix.
# The test driver (scripts/test.sh) exports WINEPREFIX; run alone, a prefix in /tmp is used.
set -u
export WINEPREFIX=${WINEPREFIX:-/tmp/stowkit-wineprefix-$(id -u)}
export WINEDEBUG=${WINEDEBUG:--all}
export LC_ALL=${STOWKIT_WINE_LC_ALL:-C.UTF-8}
exec /usr/lib/wine/wine64 "$@"
