#!/usr/bin/env bash
# The program's main job, shown on this machine: builds the Windows program
# (x86_64, to run under wine64), starts Wine's notepad on a virtual display,
# types "bjr" and a Space into it, and lets the real delivery code replace
# the word from a sample list. Prints notepad's text before and after and
# saves a screenshot. Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh win64
exec bash e2e/demo.sh build/win64
