#!/usr/bin/env bash
# Every test of the project: native unit tests (plain, ASan+UBSan, TSan), a
# short fuzzing run, the benchmarks, both Windows builds with their checks,
# and the end-to-end tests under Wine. Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
fuzz_seconds=${CALMIRANDE_FUZZ_SECONDS:-30}

step() { printf '\n=== %s ===\n' "$*"; }

step "setup"
scripts/setup.sh

step "native unit tests"
scripts/build.sh native
ctest --test-dir build/native --output-on-failure -j"$jobs"

step "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALMIRANDE_BENCH=OFF -DCALMIRANDE_SANITIZE=address,undefined >/dev/null
cmake --build build/asan -j"$jobs"
ctest --test-dir build/asan --output-on-failure -j"$jobs"

step "unit tests under ThreadSanitizer"
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALMIRANDE_BENCH=OFF -DCALMIRANDE_SANITIZE=thread >/dev/null
cmake --build build/tsan -j"$jobs"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure -j"$jobs"

step "fuzzing every reader for ${fuzz_seconds}s each"
scripts/fuzz.sh "$fuzz_seconds"

step "benchmarks"
build/native/bench/calmirande_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  2>&1 | grep -E 'Benchmark|median'

step "Windows builds"
scripts/build.sh win32 win32-test win64
scripts/check_exe.sh build/win32/calmirande.exe
scripts/check_exe.sh build/win64/calmirande.exe --any-arch

step "release archive"
scripts/check_release.sh "$(scripts/release.sh)"

# The product is the i686 program: the e2e runs it under 32-bit Wine (the
# shell and editor cases the shipped exe itself, the program cases its
# instrumented twin), and the x86_64 build in a short smoke run. A machine
# whose kernel runs no 32-bit programs falls back to the x86_64 build, and
# says so.
arch=$(scripts/wine_arch.sh)
if [[ $arch == win32 ]]; then
  step "end-to-end tests under 32-bit Wine: the i686 program"
  E2E_PRODUCT_EXE=build/win32/calmirande.exe bash e2e/run.sh build/win32-test
  step "smoke run of the x86_64 build under wine64"
  E2E_ONLY=smoke bash e2e/run.sh build/win64
else
  step "end-to-end tests under wine64: the x86_64 build (FALLBACK: this machine cannot run the i686 program)"
  bash e2e/run.sh build/win64
fi

step "all tests passed"
