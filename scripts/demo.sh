#!/usr/bin/env bash
# The program's main job, shown on this machine: builds the Windows program
# and runs it on a virtual display with a sample list; "bjr" and a Space
# typed into Wine's notepad become the list's text. Prints notepad's text
# before and after and saves screenshots, the README's among them (drawn
# with Windows' frames and fonts of Windows' metrics; DEMO_IMAGES_OUT=docs/images
# puts them where the README shows them). The program shown is the shipped
# i686 one under 32-bit Wine; a machine whose kernel runs no 32-bit programs
# shows the x86_64 build under wine64 instead, and says so.
# Installs what it needs first.
#
#   scripts/demo.sh [BUILD_DIR]   (BUILD_DIR: a cross build tree already
#                                  built, with the probe; by default the
#                                  demo builds its own)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
# Only the screenshots need these: Wine's own Tahoma and Marlett, and the
# Liberation fonts, of the metrics of Arial, Times New Roman and Courier New.
fonts=()
[[ -f /usr/share/wine/fonts/marlett.ttf ]] || fonts+=(fonts-wine)
[[ -f /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf ]] || fonts+=(fonts-liberation)
if ((${#fonts[@]})); then
  sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  echo "demo: installing ${fonts[*]}"
  { "${sudo[@]}" apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${fonts[@]}" >/dev/null; } ||
    echo "demo: could not install ${fonts[*]}; the screenshots use Wine's fallback fonts" >&2
fi
if (($#)); then
  exec bash e2e/demo.sh "$1"
fi
arch=$(scripts/wine_arch.sh)
if [[ $arch == win32 ]]; then
  # The shipped program is shown; the instrumented tree brings the probe
  # and the helpers that drive it.
  scripts/build.sh win32 win32-test
  exec bash e2e/demo.sh build/win32-test build/win32/calmirande.exe
fi
scripts/build.sh win64
exec bash e2e/demo.sh build/win64
