#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan and UBSan on) and runs every
# one of them for SECONDS each, starting from its seed corpus in
# fuzz/corpus/<name>. Prints each target's executions and findings; inputs
# that crash are kept under <build>/findings/<target>/ until the next run.
# Fails on any finding.
# Usage: scripts/fuzz.sh SECONDS
# Environment: CALMIRANDE_FUZZ_BUILD (build folder, default build/fuzz),
#              CALMIRANDE_JOBS (build jobs, default all cores).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:?usage: scripts/fuzz.sh SECONDS}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "fuzz: SECONDS must be a whole number" >&2; exit 2; }
build=${CALMIRANDE_FUZZ_BUILD:-build/fuzz}
jobs=${CALMIRANDE_JOBS:-$(nproc)}

targets=()
for source in fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$source" .cpp)")
done

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALMIRANDE_FUZZ=ON \
  -DCALMIRANDE_BENCH=OFF -DCALMIRANDE_SANITIZE=address,undefined >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for target in "${targets[@]}"; do
  seeds=()
  [[ -d fuzz/corpus/${target%_fuzz} ]] && seeds=("fuzz/corpus/${target%_fuzz}")
  findings=$build/findings/$target
  # Findings of this run only.
  rm -rf "$findings"
  mkdir -p "$findings" "$work/$target"
  log=$work/$target.log
  status=0
  # The fresh corpus folder comes first: new inputs go there, the seeds stay as they are.
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work/$target" "${seeds[@]}" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  found=$(find "$findings" -type f | wc -l)
  printf '%s: %s executions in %ss, %s findings, corpus %s inputs\n' "$target" "${executions:-?}" "$seconds" \
    "$found" "$(find "$work/$target" -type f | wc -l)"
  if ((status != 0 || found != 0)); then
    failed=1
    tail -n 40 "$log"
    find "$findings" -type f
  fi
done
exit "$failed"
