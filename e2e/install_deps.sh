#!/usr/bin/env bash
# Installs what the Wine end-to-end tests need on a fresh Debian 12 machine
# (CI included): 64-bit Wine (32-bit Wine comes from scripts/setup.sh), a virtual X server, xdotool, xdpyinfo and
# ImageMagick's import for screenshots, setxkbmap for the French layout
# cases. Does nothing when all are present.
set -euo pipefail

need=()
[[ -x /usr/lib/wine/wine64 ]] || need+=(wine64)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xdotool >/dev/null || need+=(xdotool)
command -v xdpyinfo >/dev/null || need+=(x11-utils)
command -v import >/dev/null || need+=(imagemagick)
command -v setxkbmap >/dev/null || need+=(x11-xkb-utils)
command -v x86_64-w64-mingw32-g++-win32 >/dev/null || need+=(g++-mingw-w64-x86-64-win32)

if ((${#need[@]} == 0)); then
    exit 0
fi
SUDO=
if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
