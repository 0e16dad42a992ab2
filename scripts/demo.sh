#!/usr/bin/env bash
# The program's main job, shown on this machine: builds the Windows program
# and runs it on a virtual display with a sample list; "bjr" and a Space
# typed into Wine's notepad become the list's text. Prints notepad's text
# before and after and saves screenshots. The program shown is the shipped
# i686 one under 32-bit Wine; a machine whose kernel runs no 32-bit programs
# shows the x86_64 build under wine64 instead, and says so.
# Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
arch=$(scripts/wine_arch.sh)
if [[ $arch == win32 ]]; then
  scripts/build.sh win32-test
  exec bash e2e/demo.sh build/win32-test build/win32/calmirande.exe
fi
scripts/build.sh win64
exec bash e2e/demo.sh build/win64
