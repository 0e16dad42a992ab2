#!/usr/bin/env bash
# Builds the native core with its tests and benchmarks, and the Windows
# program for i686 (the product) and x86_64 (what runs under wine64 here).
# Usage: scripts/build.sh [native|win32|win64]...   (default: all three)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

configure_and_build() {
  local dir=$1; shift
  cmake -S "$root" -B "$root/build/$dir" "$@" >/dev/null
  cmake --build "$root/build/$dir" -j"$jobs"
}

targets=("$@")
((${#targets[@]})) || targets=(native win32 win64)
for target in "${targets[@]}"; do
  case $target in
    native) configure_and_build native -DCMAKE_BUILD_TYPE=Release ;;
    win32) configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release ;;
    # The Wine build also records the hook and delivery timings for the e2e figures.
    win64) configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release -DCALMIRANDE_INSTRUMENT=ON ;;
    *) echo "build: unknown target $target" >&2; exit 2 ;;
  esac
done
