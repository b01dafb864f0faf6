#!/usr/bin/env bash
# Installs, from Debian's archive, everything the build and the tests need.
# Idempotent: when every package is present it only checks and returns.
# Never adds the i386 architecture or wine32: the tests run under 64-bit Wine.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  libgtest-dev googletest
  zlib1g-dev openssl
  wine wine64 xvfb xauth
  python3 python3-pefile icoutils osslsigncode gzip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# mingw's default g++ may be the win32-threads flavour; we need none of std::thread,
# so either flavour links. Nothing else to select.
echo "setup: all build and test packages present"
