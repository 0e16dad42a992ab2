#!/usr/bin/env bash
# The sentence groups many times over, to catch a fault that shows once in a
# few hundred sentences: each run is one e2e session (one program, one Wine
# prefix) typing every sentence ROUNDS times into each target, idle or under
# a CPU load on every core. Prints one line a run and the totals; exits 1
# when any sentence came out wrong (kept in BUILD_DIR/e2e-artifacts-loop/).
#
#   e2e/sentence_loop.sh BUILD_DIR [RUNS] [ROUNDS]   (defaults: 3 runs of 10 rounds)
#
#   E2E_LOOP_LOAD=idle|load|both   (both: every run once idle, once loaded; default both)
#   E2E_SENTENCE_TARGETS="notepad keypad"   E2E_SENTENCE_PACES="60 120 200"
set -euo pipefail

if [[ $# -lt 1 ]]; then
    echo "usage: $0 BUILD_DIR [RUNS] [ROUNDS]" >&2
    exit 64
fi
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD_DIR=$(realpath "$1")
RUNS=${2:-3}
ROUNDS=${3:-10}
export E2E_SENTENCE_TARGETS=${E2E_SENTENCE_TARGETS:-notepad keypad}
KEPT="$BUILD_DIR/e2e-artifacts-loop"
rm -rf "$KEPT"
mkdir -p "$KEPT"

case ${E2E_LOOP_LOAD:-both} in
    idle) loads=(idle) ;;
    load) loads=(load) ;;
    both) loads=(idle load) ;;
    *) echo "E2E_LOOP_LOAD: idle, load or both" >&2; exit 64 ;;
esac

source "$HERE/cpu_load.sh"
trap cpu_load_stop EXIT

total=0 exact=0 status=0
for ((run = 1; run <= RUNS; run++)); do
    for load in "${loads[@]}"; do
        [[ $load == load ]] && cpu_load_start
        log="$KEPT/run$run-$load.log"
        E2E_ONLY=program E2E_PROGRAM_SESSIONS=sentences E2E_SENTENCE_ROUNDS=$ROUNDS \
            bash "$HERE/run.sh" "$BUILD_DIR" >"$log" 2>&1 || true
        cpu_load_stop
        passed=$(grep -c '^PASS .*-sentence-' "$log" || true)
        failed=$(grep -c '^FAIL .*-sentence-' "$log" || true)
        total=$((total + passed + failed))
        exact=$((exact + passed))
        # A session that did not come up, or that failed anything else, is
        # a run that tells nothing: it fails the loop too.
        if ((failed)) || ! grep -q ' passed, 0 failed$' "$log"; then
            status=1
            cp "$BUILD_DIR"/e2e-artifacts/*.wrong.text "$BUILD_DIR"/e2e-artifacts/*.expected.text "$KEPT/" 2>/dev/null || true
            mkdir -p "$KEPT/run$run-$load"
            cp -r "$BUILD_DIR/e2e-artifacts/." "$KEPT/run$run-$load/"
        fi
        echo "run $run ($load): $passed of $((passed + failed)) sentences exact$( ((failed)) && grep '^FAIL .*-sentence-' "$log" | cut -d' ' -f2 | tr '\n' ' ' | sed 's/^/; wrong: /')"
    done
done
echo "sentence loop: $((RUNS * ${#loads[@]})) runs, $total sentences, $exact exact (targets: $E2E_SENTENCE_TARGETS)"
exit "$status"
