#!/usr/bin/env bash
# Installs, from Debian's archive, everything the build and the tests need.
# Idempotent: when every package is present it only checks and returns.
# The shipping programs are 32-bit, so 32-bit Wine (wine32 of the i386 architecture) is
# installed beside wine64: a Wine prefix made after that runs both kinds of program.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  libgtest-dev googletest
  zlib1g-dev openssl
  wine wine64 wine32:i386 xvfb xauth
  python3 python3-pefile icoutils osslsigncode gzip
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# wine32:i386 is only known once the i386 architecture is added (and the lists fetched again).
updated=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture (for 32-bit Wine)"
  $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  updated=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  [ "$updated" -eq 1 ] || $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# 32-bit programs (the i686 Wine loader, and through it every 32-bit Windows program) run on
# the kernel directly, unless its 32-bit emulation is switched off, as on some virtual machines
# ("32-bit emulation disabled" in the kernel log). Then qemu's user-mode emulator runs them,
# registered with binfmt_misc, which lasts until the next boot: every run of this script checks.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q "install ok installed"; then
    echo "setup: this kernel does not run 32-bit programs; installing qemu-user-static to emulate them"
    $SUDO apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" || true
  # Wine reserves the address space above 2 GB at start; with qemu's default (the whole 4 GB
  # for the guest) each start then spends about a minute searching qemu's page map, with the
  # guest limited to 2 GB (what a 32-bit Windows program gets anyway) it takes a second.
  runner=/usr/local/lib/stowkit/run-i386
  $SUDO mkdir -p "$(dirname "$runner")"
  printf '#!/bin/sh\nexec env QEMU_RESERVED_VA=0x7fff0000 /usr/bin/qemu-i386-static "$@"\n' |
    $SUDO tee "$runner.new" >/dev/null
  $SUDO chmod 755 "$runner.new"
  $SUDO mv "$runner.new" "$runner"
  if [ ! -e "$binfmt/stowkit-i386" ]; then
    # 32-bit little-endian ELF executables and shared objects of the i386 machine.
    printf '%s' ':stowkit-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$runner"':' |
      $SUDO tee "$binfmt/register" >/dev/null || true
  fi
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    # Everything else can still be built and tested; the test run says so when it reaches the
    # 32-bit programs, and counts that as a failure.
    echo "setup: 32-bit programs cannot run here, not even under qemu-i386-static" >&2
  else
    echo "setup: 32-bit programs run under qemu-i386-static (this kernel does not run them)"
  fi
fi

# mingw's default g++ may be the win32-threads flavour; we need none of std::thread,
# so either flavour links. Nothing else to select.
echo "setup: all build and test packages present"
