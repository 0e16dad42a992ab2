#!/usr/bin/env bash
# Builds the native core with its tests and benchmarks, and the Windows
# program: i686 as shipped (win32), i686 with the timings of the e2e figures
# and the e2e helpers (win32-test, what the e2e runs under 32-bit Wine), and
# x86_64 (win64, the second build, under wine64).
# Usage: scripts/build.sh [native|win32|win32-test|win64]...   (default: all four)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
# A fresh clone on a fresh machine builds too: the compilers and libraries
# come first (nothing to do when they are there).
"$root/scripts/setup.sh"

configure_and_build() {
  local dir=$1; shift
  cmake -S "$root" -B "$root/build/$dir" "$@" >/dev/null
  cmake --build "$root/build/$dir" -j"$jobs"
}

targets=("$@")
((${#targets[@]})) || targets=(native win32 win32-test win64)
for target in "${targets[@]}"; do
  case $target in
    native) configure_and_build native -DCMAKE_BUILD_TYPE=Release ;;
    win32) configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release ;;
    # The test builds also record the hook and delivery timings for the e2e figures.
    win32-test) configure_and_build win32-test -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release -DCALMIRANDE_INSTRUMENT=ON ;;
    win64) configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release -DCALMIRANDE_INSTRUMENT=ON ;;
    *) echo "build: unknown target $target" >&2; exit 2 ;;
  esac
done
