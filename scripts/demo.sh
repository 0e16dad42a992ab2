#!/usr/bin/env bash
# The program's main job, shown on this machine: builds the Windows program
# (x86_64, to run under wine64) and runs it on a virtual display with a
# sample list; "bjr" and a Space typed into Wine's notepad become the list's
# text. Prints notepad's text before and after and saves screenshots.
# Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh win64
exec bash e2e/demo.sh build/win64
