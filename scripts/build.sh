#!/usr/bin/env bash
# Configures and builds one or more trees below $STOWKIT_BUILD_ROOT (default: ./build):
#   native  portable code and unit tests (clang)
#   asan    the same with AddressSanitizer, UBSan and the libFuzzer targets
#   win64   x86_64-w64-mingw32: programs, unit tests for wine64, test helpers
#   win32   i686-w64-mingw32: the shipping 32-bit programs
# Usage: scripts/build.sh [native|asan|win64|win32|all]...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${STOWKIT_BUILD_ROOT:-$root/build}
jobs=${STOWKIT_JOBS:-$(nproc)}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

configure_and_build() {
  local name=$1; shift
  local dir=$build_root/$name
  # A tree is configured again, from a fresh cache, whenever the options it is asked for
  # differ from those it was configured with (a cache keeps old values otherwise).
  local options stamp=$build_root/$name.options
  options=$(printf '%s\n' "${generator[@]}" "$@")
  if [ ! -f "$dir/CMakeCache.txt" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$options" ]; then
    rm -f "$stamp"
    local fresh=()
    [ -f "$dir/CMakeCache.txt" ] && fresh=(--fresh)
    cmake "${fresh[@]}" -S "$root" -B "$dir" "${generator[@]}" "$@" >"$dir.configure.log" 2>&1 || {
      mkdir -p "$dir"; cat "$dir.configure.log"; echo "build: configure of $name failed" >&2; return 1; }
    printf '%s\n' "$options" >"$stamp"
  fi
  cmake --build "$dir" -j "$jobs" || { echo "build: $name failed" >&2; return 1; }
}

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(all)
[ "${targets[*]}" = all ] && targets=(native asan win32 win64)
mkdir -p "$build_root"
for t in "${targets[@]}"; do
  case $t in
    native) configure_and_build native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
              -DSTOWKIT_I686_DIR="$build_root/win32" -DSTOWKIT_X86_64_DIR="$build_root/win64" ;;
    asan)   configure_and_build asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
              -DSTOWKIT_SANITIZE=ON -DSTOWKIT_FUZZ=ON ;;
    win32)  configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" \
              -DCMAKE_BUILD_TYPE=Release -DSTOWKIT_TESTS=OFF ;;
    win64)  configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" \
              -DCMAKE_BUILD_TYPE=Release -DSTOWKIT_I686_DIR="$build_root/win32" ;;
    *) echo "build: unknown tree '$t'" >&2; exit 2 ;;
  esac
done
